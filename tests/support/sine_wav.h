#pragma once

#include <QByteArray>

#include <cmath>
#include <numbers>

namespace wendlow::test {

// A 16-bit PCM WAV of a sine tone, for making MP3 files at test time.
inline QByteArray sineWav(int rate, int channels, int frames, double hertz) {
    QByteArray bytes;
    auto put16 = [&](int v) {
        bytes.append(char(v & 0xff));
        bytes.append(char((v >> 8) & 0xff));
    };
    auto put32 = [&](qint64 v) {
        put16(int(v & 0xffff));
        put16(int((v >> 16) & 0xffff));
    };
    const qint64 dataBytes = qint64(frames) * channels * 2;
    bytes.append("RIFF");
    put32(36 + dataBytes);
    bytes.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(channels);
    put32(rate);
    put32(qint64(rate) * channels * 2);
    put16(channels * 2);
    put16(16);
    bytes.append("data");
    put32(dataBytes);
    for (int i = 0; i < frames; ++i) {
        const int v = int(std::lround(12000 * std::sin(2 * std::numbers::pi * hertz * i / rate)));
        for (int c = 0; c < channels; ++c) {
            put16(v);
        }
    }
    return bytes;
}

} // namespace wendlow::test
