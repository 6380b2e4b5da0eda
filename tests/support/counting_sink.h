#pragma once

#include "audio_sink.h"

#include <QtGlobal>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace wendlow::test {

// A sound device without sound: once resumed, it pulls on a thread of its own as fast as the
// player fills, counts what it pulled, and can keep the samples of its latest opening.
// With a fixed format it behaves like a device that plays only that format.
class CountingSink final : public AudioSink {
  public:
    struct Options {
        std::optional<AudioFormat> fixedFormat;
        bool record = false;
    };

    CountingSink() = default;
    explicit CountingSink(Options options) : options_(std::move(options)) {}
    ~CountingSink() override { close(); }

    bool open(const AudioFormat& wanted, Fill fill) override {
        close();
        std::lock_guard lock(mutex_);
        format_ = options_.fixedFormat.value_or(wanted);
        fill_ = std::move(fill);
        recorded_.clear();
        paused_ = true;
        stopping_ = false;
        ++opens_;
        thread_ = std::thread([this] { run(); });
        return true;
    }

    AudioFormat format() const override {
        std::lock_guard lock(mutex_);
        return format_;
    }

    void resume() override {
        {
            std::lock_guard lock(mutex_);
            paused_ = false;
        }
        wake_.notify_all();
    }

    void pause() override {
        std::lock_guard lock(mutex_);
        paused_ = true;
    }

    void close() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        std::lock_guard lock(mutex_);
        fill_ = nullptr;
    }

    int opens() const {
        std::lock_guard lock(mutex_);
        return opens_;
    }
    bool isOpen() const {
        std::lock_guard lock(mutex_);
        return fill_ != nullptr;
    }
    // Samples pulled since the latest open, interleaved in format().
    std::vector<std::int16_t> recorded() const {
        std::lock_guard lock(mutex_);
        return recorded_;
    }

  private:
    static constexpr int kFramesPerFill = 1024;
    // Enough for a few seconds of stereo; a looping test must not eat the memory.
    static constexpr size_t kMaxRecorded = 8u << 20;

    void run() {
        std::vector<std::int16_t> buffer;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !paused_; });
                if (stopping_) {
                    return;
                }
                buffer.assign(static_cast<size_t>(kFramesPerFill * format_.channels), 0x5555);
            }
            fill_(buffer.data(), kFramesPerFill);
            std::lock_guard lock(mutex_);
            if (options_.record && recorded_.size() < kMaxRecorded) {
                recorded_.insert(recorded_.end(), buffer.begin(), buffer.end());
            }
        }
    }

    Options options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    AudioFormat format_;
    Fill fill_;
    std::vector<std::int16_t> recorded_;
    bool paused_ = true;
    bool stopping_ = false;
    int opens_ = 0;
    std::thread thread_;
};

} // namespace wendlow::test
