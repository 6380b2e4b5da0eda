#include "audio_sink.h"

#include <SDL.h>

#include <dlfcn.h>

#include <utility>

namespace wendlow {

namespace {

// ALSA writes its complaints to stderr when SDL probes a machine without a sound card; here
// that case is meant to be silent. The library is the one SDL loads, so its error handler is
// set before SDL looks.
class QuietAlsa {
  public:
    QuietAlsa() : library_(dlopen("libasound.so.2", RTLD_LAZY)) {
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (library_ == nullptr) {
            return;
        }
        if (auto set = reinterpret_cast<SetHandler>(dlsym(library_, "snd_lib_error_set_handler"))) {
            set(&ignore);
        }
    }
    ~QuietAlsa() {
        if (library_ != nullptr) {
            dlclose(library_);
        }
    }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

  private:
    static void ignore(const char*, int, const char*, int, const char*, ...) {}

    void* library_;
};

// SDL's audio subsystem, initialised for as long as this object lives.
class SdlAudio {
  public:
    SdlAudio() : ok_(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}
    ~SdlAudio() {
        if (ok_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    explicit operator bool() const { return ok_; }

  private:
    bool ok_;
};

class SdlDevice {
  public:
    SdlDevice() = default;
    explicit SdlDevice(SDL_AudioDeviceID id) : id_(id) {}
    ~SdlDevice() { reset(); }
    SdlDevice(const SdlDevice&) = delete;
    SdlDevice& operator=(const SdlDevice&) = delete;
    SdlDevice& operator=(SdlDevice&& other) noexcept {
        if (this != &other) {
            reset();
            id_ = std::exchange(other.id_, 0);
        }
        return *this;
    }

    SDL_AudioDeviceID get() const { return id_; }
    explicit operator bool() const { return id_ != 0; }
    // Waits for a callback in progress to return.
    void reset() {
        if (id_ != 0) {
            SDL_CloseAudioDevice(std::exchange(id_, 0));
        }
    }

  private:
    SDL_AudioDeviceID id_ = 0;
};

class SdlSink final : public AudioSink {
  public:
    ~SdlSink() override {
        close();
        audio_.reset();
        // SDL keeps its error text per thread and frees it only for threads of its own; the
        // player destroys its sink on its own thread as that thread ends.
        SDL_TLSCleanup();
    }

    bool open(const AudioFormat& wanted, Fill fill) override {
        close();
        // Initialised on first use and kept: a machine without sound fails here, every time,
        // cheaply.
        if (!audio_) {
            audio_ = std::make_unique<SdlAudio>();
        }
        if (!*audio_) {
            audio_.reset();
            return false;
        }
        fill_ = std::move(fill);
        SDL_AudioSpec want{};
        want.freq = wanted.rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(wanted.channels);
        // About 50 ms at 44.1 kHz: short enough for a prompt stop, long enough not to starve.
        want.samples = 2048;
        want.callback = &SdlSink::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // The sample format stays ours (SDL converts it if it must); a device that prefers
        // another rate or channel count gets it, and the player converts to it.
        device_ = SdlDevice(SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE |
                                                    SDL_AUDIO_ALLOW_CHANNELS_CHANGE));
        if (!device_) {
            fill_ = nullptr;
            return false;
        }
        format_ = AudioFormat{have.freq, have.channels};
        return true;
    }

    AudioFormat format() const override { return format_; }

    void resume() override {
        if (device_) {
            SDL_PauseAudioDevice(device_.get(), 0);
        }
    }

    void pause() override {
        if (device_) {
            SDL_PauseAudioDevice(device_.get(), 1);
        }
    }

    void close() override {
        device_.reset();
        fill_ = nullptr;
    }

  private:
    static void callback(void* userdata, Uint8* stream, int len) {
        auto* self = static_cast<SdlSink*>(userdata);
        const int frameBytes = self->format_.channels * static_cast<int>(sizeof(std::int16_t));
        self->fill_(reinterpret_cast<std::int16_t*>(stream), len / frameBytes);
    }

    QuietAlsa quietAlsa_;
    std::unique_ptr<SdlAudio> audio_;
    SdlDevice device_;
    Fill fill_;
    AudioFormat format_;
};

} // namespace

std::unique_ptr<AudioSink> defaultSink() {
    return std::make_unique<SdlSink>();
}

} // namespace wendlow
