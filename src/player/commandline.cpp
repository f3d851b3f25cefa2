#include "player/commandline.h"

#include "common/localpath.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace quorvela {

namespace {

const QString Usage = QStringLiteral("Usage: quorvela [options] [FILE...]");

const QString Description = QStringLiteral(
    "Quorvela plays MP3 files and keeps a playlist.\n"
    "Each FILE may be an MP3 file (known by its content, whatever its name), an M3U or PLS\n"
    "playlist (its entries go on the playlist), a folder (its MP3 files are listed), or a\n"
    "file:// URI of one of these. The first MP3 file plays. When a Quorvela window is already\n"
    "running, the files go to that window. Use -- before a file whose name starts with \"-\".");

// The toolkit's own options (QGuiApplication, QApplication, the xcb platform), which it takes
// out of argv when it starts: with a value of their own, or alone.
const QStringList ToolkitOptionsWithValue =
    QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
                   "qwindowtitle title qwindowicon icon session display name style stylesheet")
        .split(QLatin1Char(' '));
const QStringList ToolkitOptionsAlone =
    QStringLiteral("reverse widgetcount testability nograb dograb sync qmljsdebugger")
        .split(QLatin1Char(' '));

// Leaves out the toolkit's options, so that what is left can be judged before the toolkit
// starts: without a display it could not start, and would not get to say what was wrong.
QStringList withoutToolkitOptions(const QStringList& arguments) {
    QStringList left;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            left += arguments.mid(i);
            break;
        }
        QString name = argument;
        if (i == 0 || !name.startsWith(QLatin1Char('-'))) {
            left.append(argument);
            continue;
        }
        name.remove(0, name.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (ToolkitOptionsWithValue.contains(name.left(equals))) {
            if (equals < 0)
                ++i;
            continue;
        }
        if (!ToolkitOptionsAlone.contains(name.left(equals)))
            left.append(argument);
    }
    return left;
}

} // namespace

CommandLine readCommandLine(int argc, const char* const* argv, bool toolkitOptionsTaken) {
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and ends."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("An MP3 file, a playlist, a folder, or a file:// URI."),
        QStringLiteral("[FILE...]"));

    // Every byte of a name kept, whether it is UTF-8 or not (see common/localpath.h).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(localPathFromBytes(argv[i]));
    const bool understood =
        parser.parse(toolkitOptionsTaken ? arguments : withoutToolkitOptions(arguments));

    CommandLine line;
    if (parser.isSet(help)) {
        line.answer = CommandLine::Answer::Help;
        // Built without the program running, Qt's usage line would not know the program's name.
        const QString generated = parser.helpText();
        line.text = Usage + generated.mid(generated.indexOf(QLatin1Char('\n')));
    } else if (parser.isSet(version)) {
        line.answer = CommandLine::Answer::Version;
        line.text = QStringLiteral("Quorvela " QUORVELA_VERSION_TEXT "\n");
    } else if (!understood) {
        line.answer = CommandLine::Answer::Error;
        line.text = QStringLiteral("quorvela: %1\nTry 'quorvela --help' for more information.\n")
                        .arg(parser.errorText());
    }
    for (const QString& file : parser.positionalArguments())
        line.files.append(localPathBytes(file));
    return line;
}

std::optional<int> answerOnTerminal(const CommandLine& line) {
    const QByteArray text = line.text.toLocal8Bit();
    switch (line.answer) {
    case CommandLine::Answer::None:
        return std::nullopt;
    case CommandLine::Answer::Help:
    case CommandLine::Answer::Version:
        std::fputs(text.constData(), stdout);
        return 0;
    case CommandLine::Answer::Error:
        std::fputs(text.constData(), stderr);
        return 2;
    }
    return std::nullopt;
}

} // namespace quorvela
