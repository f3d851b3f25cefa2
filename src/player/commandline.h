#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quorvela {

// What the program's command line asks for: options first (--help, --version), then the
// files to open. "--" ends the options, so that a file whose name starts with "-" can follow.
struct CommandLine {
    // An answer given on the terminal, after which the program ends without a window and
    // without touching the window already running.
    enum class Answer { None, Help, Version, Error };
    Answer answer = Answer::None;
    // The usage or the version (for standard output), or the error with a hint (for standard
    // error).
    QString text;
    // The files named, byte for byte.
    QList<QByteArray> files;
};

// Reads argv, the program's name first. Before the toolkit has taken its own options
// (-platform, -style, ...) out of argv, those are passed over.
[[nodiscard]] CommandLine readCommandLine(int argc, const char* const* argv,
                                          bool toolkitOptionsTaken);

// Prints the answer where it belongs and gives the program's exit status: 0, or 2 for an
// option that is not known. Nothing for a command line that opens files.
[[nodiscard]] std::optional<int> answerOnTerminal(const CommandLine& line);

} // namespace quorvela
