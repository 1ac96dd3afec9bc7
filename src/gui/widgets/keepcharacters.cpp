#include "widgets/keepcharacters.h"

#include "widgets/msgbox.h"

using namespace Qt::StringLiterals;

namespace KeepCharacters {

bool AskSaveAsUtf8(QWidget* parent, const QStringList& lines)
{
    const QString text =
        u"次の文字は、設定ファイル option.ini の文字コード（Shift_JIS）では保存できません。"
        u"このまま保存すると「?」に変わってしまいます。\r\n\r\n"_s
        + lines.join(u"\r\n"_s)
        + u"\r\n\r\noption.ini を UTF-8 で保存し直すと、これらの文字もそのまま保存できます"
          u"（ほかの設定は変わりません）。\r\n\r\n"
          u"はい：option.ini を UTF-8 で保存します。\r\n"
          u"いいえ：保存せずに画面に戻ります。文字を直してから、もう一度保存してください。\r\n\r\n"
          u"option.ini を UTF-8 で保存しますか？"_s;
    return MsgBox::Show(parent, text, MessageIcon::Question, MsgBox::Buttons::YesNo)
           == MsgBox::Answer::Yes;
}

} // namespace KeepCharacters
