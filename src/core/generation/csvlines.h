#pragma once

#include "base/textcodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class RunUi;

// A product CSV file split into lines. Line 0 is the header. Every line is
// kept, blank ones too; a line break at the very end adds an empty last line.
// The lines point into the file's bytes, so a large file is held only once.
class CsvLineList
{
public:
    CsvLineList() = default;
    // Splits file bytes: CR LF, lone CR and lone LF each end a line. UTF-8
    // (with or without byte-order mark) is recognised; otherwise Shift_JIS.
    static CsvLineList FromBytes(QByteArray bytes);

    qsizetype size() const { return m_starts.size(); }
    bool isEmpty() const { return m_starts.isEmpty(); }
    // The highest index, -1 for an empty file.
    qsizetype lastIndex() const { return size() - 1; }
    // The line's bytes in the file's own encoding, without its line break.
    QByteArrayView line(qsizetype index) const
    {
        return QByteArrayView(m_data).sliced(m_starts[index], m_lengths[index]);
    }
    QString text(qsizetype index) const;
    TextEncoding encoding() const { return m_encoding; }

private:
    QByteArray m_data;
    QList<qsizetype> m_starts;
    QList<qsizetype> m_lengths;
    TextEncoding m_encoding = TextEncoding::ShiftJis;
};

// Reads the CSV file's bytes whole. On failure the user has been told.
bool ReadCsvBytes(RunUi& ui, const QString& path, QByteArray& bytes);

// Reads the CSV file whole and splits it into lines. On failure the user has
// already been told (file missing: exclamation; unreadable: the failure text).
bool LoadCsvLines(RunUi& ui, const QString& path, CsvLineList& lines);
