#include "mp3_player.h"

#include <QFile>

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace wendlow {

namespace {

struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

struct AudioStreamDeleter {
    void operator()(SDL_AudioStream* stream) const { SDL_FreeAudioStream(stream); }
};
using AudioStream = std::unique_ptr<SDL_AudioStream, AudioStreamDeleter>;

constexpr int kSampleBytes = static_cast<int>(sizeof(std::int16_t));
// Decoded frames handed to the converter at a time; a little over one MPEG frame.
constexpr int kChunkFrames = 2048;
// Reads that may report success without a sample before a pass counts as ended.
constexpr int kMaxEmptyReads = 16;

bool initMpg123() {
    static const bool ok = mpg123_init() == MPG123_OK;
    return ok;
}

// One file decoded pass after pass with no gap, converted to the sink's format when that
// differs. Used by the sink's thread only, between open and close.
class Playback {
  public:
    // Null when the file does not open or is not MPEG audio. A negative count never ends.
    static std::unique_ptr<Playback> open(const QString& file, int count) {
        if (!initMpg123()) {
            return nullptr;
        }
        int error = MPG123_OK;
        Mpg123Handle handle(mpg123_new(nullptr, &error));
        if (!handle) {
            return nullptr;
        }
        // A bad file is silence, not text on the terminal. Gapless decoding drops the encoder's
        // delay and padding, so that passes join seamlessly.
        mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.);
        // 16-bit samples at the file's own rate and channels: the decoder never resamples.
        mpg123_format_none(handle.get());
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) {
            mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO,
                          MPG123_ENC_SIGNED_16);
        }
        if (mpg123_open(handle.get(), QFile::encodeName(file).constData()) != MPG123_OK) {
            return nullptr;
        }
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
            channels < 1 || channels > 2 || encoding != MPG123_ENC_SIGNED_16) {
            return nullptr;
        }
        return std::unique_ptr<Playback>(
            new Playback(std::move(handle), AudioFormat{static_cast<int>(rate), channels}, count));
    }

    AudioFormat source() const { return source_; }

    // Decides how samples reach a sink pulling `output`.
    bool convertTo(const AudioFormat& output) {
        output_ = output;
        if (output_ == source_) {
            return true;
        }
        if (output_.rate <= 0 || output_.channels <= 0) {
            return false;
        }
        stream_.reset(SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(source_.channels),
                                         source_.rate, AUDIO_S16SYS,
                                         static_cast<Uint8>(output_.channels), output_.rate));
        chunk_.resize(static_cast<size_t>(kChunkFrames * source_.channels));
        return stream_ != nullptr;
    }

    int outputChannels() const { return output_.channels; }

    // Writes up to `frames` frames in the output format; fewer only when the music has ended.
    int read(std::int16_t* out, int frames) {
        int done = 0;
        while (done < frames) {
            std::int16_t* at = out + static_cast<ptrdiff_t>(done) * output_.channels;
            if (!stream_) {
                const int got = decode(at, frames - done);
                if (got == 0) {
                    break;
                }
                done += got;
                continue;
            }
            const int frameBytes = output_.channels * kSampleBytes;
            const int bytes = SDL_AudioStreamGet(stream_.get(), at, (frames - done) * frameBytes);
            if (bytes < 0) {
                break;
            }
            if (bytes > 0) {
                done += bytes / frameBytes;
                continue;
            }
            if (flushed_) {
                break;
            }
            const int got = decode(chunk_.data(), kChunkFrames);
            if (got == 0) {
                // Lets the converter give out what it holds back for its filter.
                SDL_AudioStreamFlush(stream_.get());
                flushed_ = true;
            } else if (SDL_AudioStreamPut(stream_.get(), chunk_.data(),
                                          got * source_.channels * kSampleBytes) != 0) {
                ended_ = true;
                SDL_AudioStreamFlush(stream_.get());
                flushed_ = true;
            }
        }
        return done;
    }

  private:
    Playback(Mpg123Handle handle, AudioFormat source, int count)
        : handle_(std::move(handle)), source_(source), output_(source), passesLeft_(count) {}

    // Decodes up to `frames` frames in the source format, going on with the next pass at the end
    // of one. 0 once every pass is done.
    int decode(std::int16_t* out, int frames) {
        const int frameBytes = source_.channels * kSampleBytes;
        int emptyReads = 0;
        while (!ended_) {
            size_t bytes = 0;
            const int result =
                mpg123_read(handle_.get(), reinterpret_cast<unsigned char*>(out),
                            static_cast<size_t>(frames) * static_cast<size_t>(frameBytes), &bytes);
            const int got = static_cast<int>(bytes / static_cast<size_t>(frameBytes));
            if (result == MPG123_NEW_FORMAT && !sameFormat()) {
                // A stream that changes its rate halfway: what was played so far is all.
                ended_ = true;
                break;
            }
            if (got > 0) {
                passFrames_ += got;
                return got;
            }
            if ((result == MPG123_OK || result == MPG123_NEW_FORMAT) &&
                ++emptyReads < kMaxEmptyReads) {
                continue;
            }
            endPass();
            emptyReads = 0;
        }
        return 0;
    }

    bool sameFormat() {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        return mpg123_getformat(handle_.get(), &rate, &channels, &encoding) == MPG123_OK &&
               rate == source_.rate && channels == source_.channels &&
               encoding == MPG123_ENC_SIGNED_16;
    }

    void endPass() {
        // A pass that gave nothing would give nothing again: end rather than spin.
        const bool again = passFrames_ > 0 && (passesLeft_ < 0 || --passesLeft_ > 0);
        passFrames_ = 0;
        if (!again || mpg123_seek(handle_.get(), 0, SEEK_SET) < 0) {
            ended_ = true;
        }
    }

    Mpg123Handle handle_;
    AudioFormat source_;
    AudioFormat output_;
    AudioStream stream_;
    std::vector<std::int16_t> chunk_;
    int passesLeft_;
    qint64 passFrames_ = 0;
    bool ended_ = false;
    bool flushed_ = false;
};

} // namespace

// The player's thread takes the latest play request, stops what is playing, and starts the new
// playback; decoding then happens in the sink's fill calls, so passes follow each other without
// a gap. The window's thread only ever touches the request and the flags under the mutex.
class Mp3Player::Impl {
  public:
    explicit Impl(std::unique_ptr<AudioSink> sink)
        : sink_(std::move(sink)), thread_([this] { run(); }) {}

    ~Impl() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_one();
        thread_.join();
    }

    void play(int count, const QString& file) {
        {
            std::lock_guard lock(mutex_);
            // From here on the count is the new playback's, even before its first sample: the
            // old playback's fill calls that are still under way add nothing.
            generation_ = (generation_ + 1) & kGenerationMask;
            progress_.store(generation_ << kFrameBits);
            pending_ = Request{count, file, generation_};
        }
        changed_.notify_one();
    }

    bool isPlaying() const {
        std::lock_guard lock(mutex_);
        return active_ || (pending_ && pending_->sounds());
    }

    qint64 framesDelivered() const { return qint64(progress_.load() & kFrameMask); }

  private:
    // The frames delivered share one atomic word with the number of the play they belong to.
    static constexpr int kFrameBits = 48;
    static constexpr quint64 kFrameMask = (quint64(1) << kFrameBits) - 1;
    static constexpr quint64 kGenerationMask = (quint64(1) << (64 - kFrameBits)) - 1;

    struct Request {
        int count = 0;
        QString file;
        quint64 generation = 0;
        bool sounds() const { return count != 0 && !file.isEmpty(); }
    };

    // Fill calls after the end, so that the device plays out its last samples before it closes.
    static constexpr int kSilentFillsBeforeEnd = 2;

    void run() {
        std::unique_lock lock(mutex_);
        while (!quit_) {
            if (pending_) {
                const Request request = std::move(*pending_);
                pending_.reset();
                active_ = active_ || request.sounds();
                lock.unlock();
                stop();
                lock.lock();
                finished_ = false;
                active_ = request.sounds();
                if (active_) {
                    lock.unlock();
                    const bool started = start(request);
                    lock.lock();
                    active_ = started;
                }
            } else if (finished_) {
                finished_ = false;
                lock.unlock();
                stop();
                lock.lock();
                active_ = false;
            } else {
                changed_.wait(lock);
            }
        }
        lock.unlock();
        stop();
        sink_.reset();
    }

    bool start(const Request& request) {
        if (!sink_) {
            return false;
        }
        std::unique_ptr<Playback> playback = Playback::open(request.file, request.count);
        if (!playback) {
            return false;
        }
        if (!sink_->open(playback->source(),
                         [this](std::int16_t* samples, int frames) { fill(samples, frames); })) {
            return false;
        }
        if (!playback->convertTo(sink_->format())) {
            sink_->close();
            return false;
        }
        playback_ = std::move(playback);
        playbackGeneration_ = request.generation;
        silentFills_ = 0;
        sink_->resume();
        return true;
    }

    void stop() {
        if (sink_) {
            sink_->pause();
            sink_->close();
        }
        playback_.reset();
    }

    // On the sink's thread.
    void fill(std::int16_t* samples, int frames) {
        const int channels = playback_ ? playback_->outputChannels() : sink_->format().channels;
        const int got = playback_ ? playback_->read(samples, frames) : 0;
        std::fill(samples + static_cast<ptrdiff_t>(got) * channels,
                  samples + static_cast<ptrdiff_t>(frames) * channels, std::int16_t{0});
        if (got > 0) {
            quint64 progress = progress_.load();
            while (progress >> kFrameBits == playbackGeneration_ &&
                   !progress_.compare_exchange_weak(progress, progress + quint64(got))) {
            }
            silentFills_ = 0;
            return;
        }
        if (++silentFills_ == kSilentFillsBeforeEnd) {
            {
                std::lock_guard lock(mutex_);
                finished_ = true;
            }
            changed_.notify_one();
        }
    }

    std::unique_ptr<AudioSink> sink_;
    // Set and reset by the player's thread only while the sink is closed.
    std::unique_ptr<Playback> playback_;
    quint64 playbackGeneration_ = 0;
    int silentFills_ = 0;
    // Generation of the latest play in the high bits, its frames delivered in the low bits.
    std::atomic<quint64> progress_{0};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Request> pending_;
    bool active_ = false;
    bool finished_ = false;
    bool quit_ = false;
    quint64 generation_ = 0;

    std::thread thread_;
};

Mp3Player::Mp3Player(std::unique_ptr<AudioSink> sink)
    : impl_(std::make_unique<Impl>(std::move(sink))) {}

Mp3Player::~Mp3Player() = default;

void Mp3Player::play(int count, const QString& file) {
    impl_->play(count, file);
}

bool Mp3Player::isPlaying() const {
    return impl_->isPlaying();
}

qint64 Mp3Player::framesDelivered() const {
    return impl_->framesDelivered();
}

} // namespace wendlow
