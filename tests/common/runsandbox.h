#pragma once

#include "generation/generationrun.h"
#include "testutil.h"

#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The run's clock in tests: one fixed time, so that the output folder's
// name is known.
inline const QDateTime kRunTime(QDate(2026, 12, 6), QTime(18, 56, 26));
inline const QString kRunFolderName = QStringLiteral("20261206185626");

// A run of `csv` with the settings in `settings`, from a program whose folder
// `programFolder` takes the working copy and the output folder, at kRunTime.
inline RunOptions runOptions(const QString& csv, const QString& settings,
                             const QString& programFolder)
{
    RunOptions o;
    o.csvPath = csv;
    o.workingCopyFolder = programFolder;
    o.outputParentFolder = programFolder;
    o.settingsPath = settings;
    o.now = [] {
        return kRunTime;
    };
    return o;
}

// A temporary folder for runs: the program's folder "program", and beside it
// the CSV file "products.csv" and the settings file "option.ini".
class RunSandbox
{
public:
    QString program;
    QString csv;
    QString ini;

    // Empties the folder and makes the program's folder, with `settings` as
    // the settings file.
    bool reset(const QByteArray& settings)
    {
        QDir(m_root.path()).removeRecursively();
        program = path(QStringLiteral("program"));
        csv = path(QStringLiteral("products.csv"));
        ini = path(QStringLiteral("option.ini"));
        return m_root.isValid() && QDir().mkpath(program) && TestUtil::writeFile(ini, settings);
    }

    QString root() const { return m_root.path(); }
    QString path(const QString& name) const { return m_root.filePath(name); }
    RunOptions options() const { return runOptions(csv, ini, program); }
    // The output folder of a run with options().
    QString outputFolder() const { return program + u'/' + kRunFolderName; }

    // Everything in a folder (pages, and whatever else is there), by name.
    static QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

private:
    QTemporaryDir m_root;
};
