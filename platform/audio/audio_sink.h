#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace wendlow {

// Interleaved signed 16-bit samples in the machine's byte order, at `rate` frames a second.
struct AudioFormat {
    int rate = 0;
    int channels = 0;

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// Where the music goes: a sound device, or in tests anything that pulls samples.
// The sink pulls: once resumed, it calls the fill function on a thread of its own whenever it
// needs `frames` more frames in its format(). The player calls the members below from its own
// thread only, and destroys its sink there too.
class AudioSink {
  public:
    using Fill = std::function<void(std::int16_t* samples, int frames)>;

    virtual ~AudioSink() = default;

    // Prepares output close to `wanted`, paused. The sink may choose another rate or channel
    // count; format() tells what it pulls. False when there is no output to be had.
    virtual bool open(const AudioFormat& wanted, Fill fill) = 0;
    virtual AudioFormat format() const = 0;
    virtual void resume() = 0;
    virtual void pause() = 0;
    // Once this returns, the fill function is not called again until the next open.
    virtual void close() = 0;
};

// The machine's sound device through SDL2.
std::unique_ptr<AudioSink> defaultSink();

} // namespace wendlow
