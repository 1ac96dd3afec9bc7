#pragma once

#include <QStringList>

class QWidget;

// Nothing typed may turn into "?" unasked. When values bound for option.ini
// hold characters its encoding (Shift_JIS) cannot hold, the settings windows
// ask with this one question: `lines` name each field and its characters.
// True (はい) means: save option.ini as UTF-8 with a byte-order mark; false
// (いいえ) means: back to the window, nothing saved.
namespace KeepCharacters {

bool AskSaveAsUtf8(QWidget* parent, const QStringList& lines);

} // namespace KeepCharacters
