#pragma once

// Runs the programs as built with the tests. Their paths come from CMake:
// add_sorabi_test(... BATCH) for sorabi-batch, DESKTOP for sorabi.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// The last line of a program's output.
inline QString lastLine(const QString& text)
{
    return text.trimmed().split(u'\n').last();
}

struct ProgramResult
{
    bool exitedNormally = false;
    int exitCode = -1; // -1 when it never started or was ended by a signal
    QString out;
    QString err;

    // The output folder, which sorabi-batch names on its last line.
    QString outputFolder() const { return lastLine(out); }
};

// Prepares the process before it starts: its environment, or what to do in
// the child (setChildProcessModifier), such as limiting its resources.
using ProcessSetUp = std::function<void(QProcess& process)>;

// Runs a program to its end, killed after two minutes; from `workingFolder`
// when one is given.
inline ProgramResult runProgram(const QString& program, const QStringList& arguments,
                                const QString& workingFolder = {}, const ProcessSetUp& setUp = {})
{
    QProcess process;
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    if (setUp)
        setUp(process);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    process.waitForFinished();
    ProgramResult result;
    result.exitedNormally = process.error() != QProcess::FailedToStart
                            && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = result.exitedNormally ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

#ifdef SORABI_BATCH
inline QString batchProgram()
{
    return QStringLiteral(SORABI_BATCH);
}

inline ProgramResult runBatch(const QStringList& arguments, const QString& workingFolder = {},
                              const ProcessSetUp& setUp = {})
{
    return runProgram(batchProgram(), arguments, workingFolder, setUp);
}
#endif

#ifdef SORABI_DESKTOP
inline QString desktopProgram()
{
    return QStringLiteral(SORABI_DESKTOP);
}
#endif
