#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Whole-file text access. Files are Shift_JIS on disk. Nothing is shown to the
// user: each operation answers with a success flag and leaves the text of its
// last failure ("number:description") in Message().
class clsTextFile
{
public:
    // Reads the whole file. An empty file leaves rstrCont as it was.
    bool ReadText(const QString& vstrFilePath, QString& rstrCont);
    // The same, without decoding: the file's bytes as they are.
    bool ReadBytes(const QString& vstrFilePath, QByteArray& rbytCont);

    // Appends the text and one CR LF to an existing file; empty text leaves
    // the file untouched. Characters that Shift_JIS cannot hold are written as
    // HTML character references.
    bool WriteText(const QString& vstrFilePath, const QString& vstrCont);
    // The same for text that is already encoded.
    bool WriteBytes(const QString& vstrFilePath, QByteArrayView vbytCont);

    // Empties an existing file.
    bool ClearText(const QString& vstrFilePath);
    // Creates an empty file unless one exists already (which is left as it is).
    bool CreateText(const QString& strFilePath);
    // CreateText followed by WriteBytes, with one opening of the file: the
    // same file and the same failures, for a run that writes many pages.
    bool CreateAndWriteBytes(const QString& vstrFilePath, QByteArrayView vbytCont);

    QString Message() const { return m_message; }

    // Failure numbers, as the text in Message() starts with them.
    enum FailureNumber {
        BadFileName = 52,
        FileNotFound = 53,
        DeviceIoError = 57,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
    };
    static QString FailureText(int number);
    // The failure text for the system's reason of the last failed file
    // operation on the path (or, where the system gave none, for what is
    // at the path), for callers that did the operation themselves.
    static QString LastFailureText(const QString& path);
    // Whether a failure text is one that a file held open by another program
    // gives: on Windows a sharing violation or a lock reads as 70, a file
    // that cannot be replaced as 75. The callers then say what to close.
    static bool MayBeHeldOpen(const QString& message);

    // Lets tests make page writes fail as a full disk or a broken device
    // would: the injector answers a failure number for a path, or 0.
    using FailureInjector = std::function<int(const QString& path)>;
    static void SetWriteFailureInjector(FailureInjector injector);
    // The same for reading a whole file (ReadBytes, ReadText), as a file
    // another program holds open would fail on Windows.
    static void SetReadFailureInjector(FailureInjector injector);

private:
    void SetMessage(const QString& message) { m_message = message; }
    void SetFailure(int number) { SetMessage(FailureText(number)); }

    QString m_message;
};
