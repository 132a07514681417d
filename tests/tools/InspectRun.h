#pragma once
// Runs the built norva-inspect as a user would, for the tests of its command line.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct TRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

inline TRun Inspect(const QStringList& arguments, const QString& workingDirectory = {}) {
    QProcess process;
    if (!workingDirectory.isEmpty()) {
        process.setWorkingDirectory(workingDirectory);
    }
    process.start(NORVA_INSPECT, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

inline QString Data(const QString& name) {
    return QString(NORVA_SAMPLES) + "/" + name;
}
