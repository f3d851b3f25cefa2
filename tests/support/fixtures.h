#pragma once

#include <QString>

namespace quorvela::test {

// Makes an MP3 of a sine tone with sox and lame (lame's header makes its length exact).
// Returns false when the tools fail.
bool makeToneMp3(const QString& path, double seconds = 1.0, int frequency = 440,
                 int sampleRate = 44100, int channels = 2);

} // namespace quorvela::test
