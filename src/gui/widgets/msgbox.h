#pragma once

#include "base/messageicon.h"

#include <QLoggingCategory>
#include <QString>

#include <functional>

class QWidget;

// Every message box of the program: titled with the product name, one of the
// fixed icons. Tests install a handler that answers instead of a person.
namespace MsgBox {

// YesNoBrowse adds "参照(&B)...", for a question about a folder that the
// user may want to pick instead; BrowseCancel offers only "参照(&B)..." and
// "キャンセル" (answered Browse or No), when there is no folder to offer.
// SendCancel is "送信(&S)" (the default, answered Yes) and "キャンセル" (No).
enum class Buttons { Ok, YesNo, YesNoBrowse, BrowseCancel, SendCancel };
enum class Answer { Ok, Yes, No, Browse };

// For YesNo and YesNoBrowse, No is the default button. `details`, when
// given, is behind a "詳細" button, in a scrolling box (long lists); a
// handler sees only `text`.
Answer Show(QWidget* parent, const QString& text, MessageIcon icon, Buttons buttons = Buttons::Ok,
            const QString& details = {});

using Handler = std::function<Answer(const QString& text, MessageIcon icon, Buttons buttons)>;
// An empty handler restores real message boxes.
void SetHandler(Handler handler);

} // namespace MsgBox

// Every message shown is also logged here at info level, off unless turned
// on (QT_LOGGING_RULES="sorabi.message.info=true"): what a script driving
// the program reads instead of the screen.
Q_DECLARE_LOGGING_CATEGORY(lcMessage)
