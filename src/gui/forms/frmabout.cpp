#include "forms/frmabout.h"

#include "base/appinfo.h"
#include "widgets/artwork.h"
#include "widgets/shell.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>


using namespace Qt::StringLiterals;

frmAbout::frmAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    Look::RegisterFontSubstitutes();
    setObjectName(u"frmAbout"_s);
    setWindowTitle(AppInfo::Title());
    setFont(Look::UiFont(9.75));
    const QColor face = palette().color(QPalette::Window);
    QWidget* client = Look::MakeFramedClient(this, QSize(417, 193), face);

    auto* fraButton = new QWidget(client);
    fraButton->setObjectName(u"fraButton"_s);
    fraButton->setGeometry(16, 152, 385, 25);
    auto* cmdURL = new QPushButton(u"サポートページ"_s, fraButton);
    cmdURL->setObjectName(u"cmdURL"_s);
    cmdURL->setGeometry(0, 0, 289, 25);
    auto* cmdOK = new QPushButton(u"OK"_s, fraButton);
    cmdOK->setObjectName(u"cmdOK"_s);
    cmdOK->setGeometry(304, 0, 81, 25);
    for (QPushButton* button : {cmdURL, cmdOK}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto field = [client, face](const QString& name, const QRect& geometry, const QString& text) {
        auto* edit = new QLineEdit(text, client);
        edit->setObjectName(name);
        edit->setGeometry(geometry);
        edit->setReadOnly(true);
        edit->setFrame(false);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, face);
        edit->setPalette(palette);
        edit->setCursorPosition(0);
        return edit;
    };
    QLineEdit* txtVersion =
        field(u"txtVersion"_s, QRect(104, 112, 297, 19), AppInfo::VersionText());
    QLineEdit* txtSeihinmei =
        field(u"txtSeihinmei"_s, QRect(104, 80, 297, 19), AppInfo::Title());

    auto label = [client](const QString& name, const QRect& geometry, const QString& text) {
        auto* lbl = new QLabel(text, client);
        lbl->setObjectName(name);
        lbl->setGeometry(geometry);
        lbl->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return lbl;
    };
    label(u"Label1"_s, QRect(16, 112, 73, 17), u"バージョン："_s);
    label(u"lblSeihinmei"_s, QRect(16, 80, 73, 17), u"製品名："_s);
    QLabel* lblProject = label(u"lblProject"_s, QRect(72, 24, 321, 25), u"Hotaru"_s);
    lblProject->setFont(Look::UiFont(15.75));

    auto* lineGray = new QFrame(client);
    lineGray->setObjectName(u"lineGray"_s);
    lineGray->setGeometry(0, 64, 417, 1);
    QPalette linePalette = lineGray->palette();
    linePalette.setColor(QPalette::Window, linePalette.color(QPalette::Dark));
    lineGray->setPalette(linePalette);
    lineGray->setAutoFillBackground(true);

    auto* image1 = new QLabel(client);
    image1->setObjectName(u"Image1"_s);
    image1->setGeometry(16, 16, 32, 32);
    image1->setPixmap(Look::ProgramIconPixmap(32));

    setTabOrder(txtSeihinmei, txtVersion);
    setTabOrder(txtVersion, cmdURL);
    setTabOrder(cmdURL, cmdOK);

    connect(cmdURL, &QPushButton::clicked, this, &frmAbout::cmdURL_Click);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAbout::setVisible(bool visible)
{
    if (visible && !isVisible() && !testAttribute(Qt::WA_Moved))
        Look::CentreOver(this, parentWidget());
    QDialog::setVisible(visible);
}

void frmAbout::cmdURL_Click()
{
    // A browser that fails to start is not reported; the window stays.
    Shell::OpenUrl(QUrl(AppInfo::SupportUrl()));
}
