#include "window/ViewerCommandLine.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

namespace {

// Options QApplication takes out of the arguments itself; accepted here so that they are not
// unknown ones. Those with a value first.
const char* const QtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger",
};
const char* const QtFlagOptions[] = {"reverse", "widgetcount"};

}  // namespace

TViewerCommandLine ParseViewerCommandLine(const QList<QByteArray>& arguments) {
    QCommandLineParser parser;
    // Qt's own options are single-dash words (-platform offscreen).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(),
                                        QStringLiteral("OUT.png"));
    parser.addOption(screenshot);
    for (const char* name : QtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : QtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    // Latin-1 maps every byte to one character and back: the parser works on the option
    // names, which are ASCII, and the file names come back as the bytes they were.
    QStringList texts;
    for (const QByteArray& argument : arguments) {
        texts.append(QString::fromLatin1(argument));
    }
    TViewerCommandLine commandLine;
    if (!parser.parse(texts)) {
        // The message quotes what was given; shown as the desktop decodes names.
        commandLine.Error = QFile::decodeName(parser.errorText().toLatin1());
        return commandLine;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        commandLine.Help = true;
        return commandLine;
    }
    if (parser.isSet(version)) {
        commandLine.Version = true;
        return commandLine;
    }
    if (parser.isSet(screenshot)) {
        commandLine.ScreenshotPath = parser.value(screenshot).toLatin1();
        if (commandLine.ScreenshotPath.isEmpty()) {
            commandLine.Error = QStringLiteral("--screenshot needs the name of the image to write");
            return commandLine;
        }
        commandLine.Screenshot = true;
    }
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        commandLine.StartFile = files.first().toLatin1();
    }
    return commandLine;
}

QString ViewerHelpText() {
    return QStringLiteral(
        "Usage: NorvaViewer [--] [FILE | FOLDER]\n"
        "       NorvaViewer --screenshot OUT.png [FILE]\n"
        "       NorvaViewer --help | --version\n"
        "Shows a NORVA-G measurement log FILE (.ktz), checks its signature and draws its\n"
        "measurements; a FOLDER opens the list of the logs in it and below.\n"
        "\n"
        "Options:\n"
        "  --screenshot OUT.png  load FILE as at start, save the window's image to OUT.png\n"
        "                        and exit; errors go to standard error\n"
        "  -h, --help            print this help and exit\n"
        "  -v, --version         print the version and exit\n"
        "  --                    end of the options: a FILE or FOLDER may begin with -\n"
        "The options of every Qt program are accepted as well (-platform NAME, -style NAME).\n"
        "\n"
        "Keys:\n"
        "  Ctrl+O, Alt+O, Escape         open a log\n"
        "  Ctrl+Shift+O                  open a folder as the log list\n"
        "  Ctrl+Page Down, Ctrl+Page Up  the next, the previous log of the list\n"
        "  F5                            reload the log\n"
        "  Ctrl+F, F3, Shift+F3          find in the text box; the next, the previous match\n"
        "  Ctrl+Q                        quit\n"
        "  Tab, Shift+Tab                the charts, the direction buttons, the text box, the\n"
        "                                buttons in turn\n"
        "  Menu, Shift+F10               the context menu of the focused chart or text box\n");
}
