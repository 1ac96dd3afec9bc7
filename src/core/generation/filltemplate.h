#pragma once

#include "base/textcodec.h"
#include "settings/optionsource.h"

#include <QByteArrayView>
#include <QString>

class PageFiller;
class RunUi;
struct FilledPage;

// "3 行目（商品ID「1001」）": how messages name a line of the CSV file.
QString LineLabel(qsizetype lineNumber, const QString& articleId);

// Fills one line of a run and checks the page's file name; on failure shows
// the description (stop icon), naming the line (its number in the file,
// from 1 for the header; 0 names none), and returns false.
bool FillTemplate(RunUi& ui, PageFiller& filler, QByteArrayView line, TextEncoding encoding,
                  const OptionValues& options, qsizetype lineNumber, FilledPage& page);

// One line as text with the settings of the given file, for callers outside a run.
bool FillTemplate(RunUi& ui, const QString& line, const QString& iniPath, QString& rstrFileName,
                  QString& rstrPage);
