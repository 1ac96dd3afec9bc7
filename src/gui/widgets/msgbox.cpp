#include "widgets/msgbox.h"

#include "base/appinfo.h"

#include <QMessageBox>
#include <QPushButton>

namespace MsgBox {

namespace {

Handler& handler()
{
    static Handler instance;
    return instance;
}

QMessageBox::Icon toIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer Show(QWidget* parent, const QString& text, MessageIcon icon, Buttons buttons)
{
    if (handler())
        return handler()(text, icon, buttons);

    QMessageBox box(toIcon(icon), AppInfo::Title(), text, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("msgBox"));
    if (buttons == Buttons::YesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        yes->setObjectName(QStringLiteral("cmdYes"));
        no->setObjectName(QStringLiteral("cmdNo"));
        box.setDefaultButton(no);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? Answer::Yes : Answer::No;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return Answer::Ok;
}

void SetHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}

} // namespace MsgBox
