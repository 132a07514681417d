#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The command line: NorvaViewer [--screenshot OUT.png] [--] [FILE | FOLDER], --help,
// --version, and the options every Qt program takes (-platform, -style...). It is read before
// QApplication exists, so that help, version and usage errors need no display.
// Arguments are the bytes the program was given; the file names keep them unchanged.
struct TViewerCommandLine {
    QByteArray StartFile;
    QByteArray ScreenshotPath;
    bool Screenshot = false;
    bool Help = false;
    bool Version = false;
    QString Error;  // not empty: the arguments were not understood
};
TViewerCommandLine ParseViewerCommandLine(const QList<QByteArray>& arguments);

// What --help prints.
QString ViewerHelpText();

// What --version prints, and the version the program reports elsewhere.
inline constexpr char ViewerVersion[] = "1.0.0.0";
