#pragma once

#include <QByteArray>
#include <QString>

namespace quorvela::test {

// Makes an MP3 of a sine tone with sox and lame (lame's header makes its length exact).
// Returns false when the tools fail.
bool makeToneMp3(const QString& path, double seconds = 1.0, int frequency = 440,
                 int sampleRate = 44100, int channels = 2);

// Copies the file to the path given by its bytes, which need not be UTF-8; the folder must
// exist. Qt's own file classes would write such a name with '?' in it.
bool copyFileTo(const QString& from, const QByteArray& to);
// Removes the folder at the path given by its bytes and all it holds: QDir, and so
// QTemporaryDir, cannot remove a file whose name is not UTF-8.
bool removeTree(const QByteArray& path);

} // namespace quorvela::test
