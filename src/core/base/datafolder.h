#pragma once

#include <QString>

#include <functional>

// Where the working copy, the output folders and "option.ini" live: the
// program's folder, as for a program kept in a folder of its own, unless
// that folder is not writable or is the one the program was installed to;
// then the per-user folder, created on first use and made the working
// folder so that "option.ini" lives there too.
class DataFolder
{
public:
    // The folder that holds the program. Tests set it.
    QString ProgramFolder() const;
    void SetProgramFolder(const QString& folder) { m_programFolder = folder; }

    // Decides between the two folders (`perUser` asks for the per-user one
    // whatever the program's folder is). False, with the reason in Japanese,
    // when the per-user folder cannot be made or written.
    bool Choose(bool perUser, QString* failure);
    // The program's folder, or the per-user folder once chosen.
    QString Path() const { return m_perUserFolder.isEmpty() ? ProgramFolder() : m_perUserFolder; }
    bool IsPerUser() const { return !m_perUserFolder.isEmpty(); }

    // "Sorabi" in the user's home folder.
    static QString PerUserFolder();
    // Where an installation puts the program; empty where none is known.
    static QString InstalledProgramFolder();

    // Whether files can be made in the folder, found out by making one and
    // removing it (permission bits say nothing to an administrator, or about
    // read-only media). Tests answer instead.
    using WritableProbe = std::function<bool(const QString& folder)>;
    static void SetWritableProbe(WritableProbe probe);
    static bool IsFolderWritable(const QString& folder);

private:
    QString m_programFolder;
    QString m_perUserFolder;
};
