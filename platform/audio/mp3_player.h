#pragma once

#include "audio_sink.h"

#include <QString>

#include <QtGlobal>

#include <memory>

namespace wendlow {

// Plays one MP3 file at a time, a chosen number of times, on a thread of its own.
// Every member may be called from any thread; the window calls them from its own.
class Mp3Player {
  public:
    explicit Mp3Player(std::unique_ptr<AudioSink> sink = defaultSink());
    // Stops the music and waits for the player's thread.
    ~Mp3Player();
    Mp3Player(const Mp3Player&) = delete;
    Mp3Player& operator=(const Mp3Player&) = delete;

    // Returns at once. First stops and discards the playback in progress; then plays `file`
    // `count` times in a row without a gap, or over and over for a negative count. Count 0, an
    // empty path, or a file that does not open or decode plays nothing, silently; so does a
    // machine without a sound device.
    void play(int count, const QString& file);

    // True from a play that may sound until that playback has ended or failed, and while a stop
    // is still under way.
    bool isPlaying() const;
    // Frames of music handed to the sink, in its format, since the playback in progress (or the
    // last one) began; the silence after the end is not counted.
    qint64 framesDelivered() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace wendlow
