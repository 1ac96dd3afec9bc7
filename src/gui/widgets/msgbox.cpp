#include "widgets/msgbox.h"

#include "base/appinfo.h"

#include <QMessageBox>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcMessage, "sorabi.message", QtWarningMsg)

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
    qCInfo(lcMessage).noquote() << text;

    QMessageBox box(toIcon(icon), AppInfo::Title(), text, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("msgBox"));
    if (buttons != Buttons::Ok) {
        QPushButton* yes = nullptr;
        if (buttons != Buttons::BrowseCancel) {
            yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
            yes->setObjectName(QStringLiteral("cmdYes"));
        }
        QPushButton* browse = nullptr;
        if (buttons == Buttons::YesNoBrowse || buttons == Buttons::BrowseCancel) {
            browse = box.addButton(QStringLiteral("参照(&B)..."), QMessageBox::ActionRole);
            browse->setObjectName(QStringLiteral("cmdBrowse"));
        }
        QPushButton* no = box.addButton(buttons == Buttons::BrowseCancel
                                            ? QStringLiteral("キャンセル")
                                            : QStringLiteral("いいえ(&N)"),
                                        QMessageBox::NoRole);
        no->setObjectName(QStringLiteral("cmdNo"));
        box.setDefaultButton(no);
        box.setEscapeButton(no);
        box.exec();
        if (yes && box.clickedButton() == yes)
            return Answer::Yes;
        return browse && box.clickedButton() == browse ? Answer::Browse : Answer::No;
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
