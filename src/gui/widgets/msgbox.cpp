#include "widgets/msgbox.h"

#include "base/appinfo.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include <optional>

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

// Qt's details button is English wherever no Qt translation is installed
// (the Windows program carries none): ours, for as long as the box lives.
class DetailsButtonTexts : public QTranslator
{
public:
    DetailsButtonTexts() { QCoreApplication::installTranslator(this); }
    ~DetailsButtonTexts() override { QCoreApplication::removeTranslator(this); }

    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, "QMessageBox") != 0)
            return {};
        if (qstrcmp(source, "Show Details...") == 0)
            return QStringLiteral("詳細を表示(&D)...");
        if (qstrcmp(source, "Hide Details...") == 0)
            return QStringLiteral("詳細を隠す(&D)");
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

Answer Show(QWidget* parent, const QString& text, MessageIcon icon, Buttons buttons,
            const QString& details)
{
    if (handler())
        return handler()(text, icon, buttons);
    qCInfo(lcMessage).noquote() << text;

    std::optional<DetailsButtonTexts> detailsTexts;
    if (!details.isEmpty())
        detailsTexts.emplace(); // before the box, which takes the texts when it is made
    QMessageBox box(toIcon(icon), AppInfo::Title(), text, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("msgBox"));
    if (!details.isEmpty())
        box.setDetailedText(details);
    if (buttons == Buttons::SendCancel) {
        QPushButton* send = box.addButton(QStringLiteral("送信(&S)"), QMessageBox::AcceptRole);
        send->setObjectName(QStringLiteral("cmdSend"));
        QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        cancel->setObjectName(QStringLiteral("cmdCancel"));
        box.setDefaultButton(send);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == send ? Answer::Yes : Answer::No;
    }
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
