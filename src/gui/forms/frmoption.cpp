#include "forms/frmoption.h"

#include "base/clstextfile.h"
#include "base/platform.h"
#include "base/vbnumber.h"
#include "forms/basurlpic.h"
#include "forms/numbertext.h"
#include "generation/pagevalues.h"
#include "settings/clsoption.h"
#include "settings/siteurl.h"
#include "template/hosts.h"
#include "widgets/artwork.h"
#include "widgets/entertab.h"
#include "widgets/keepcharacters.h"
#include "widgets/msgbox.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <iterator>

using namespace Qt::StringLiterals;

namespace {

// The public address (公開URL) is a row of its own below the catch-copy
// lines; the rows of the original layout after it move down by one row.
constexpr int UrlRow = 48;
constexpr QSize ClientSize(700, 542 + UrlRow);
constexpr int HeaderImageCount = 100;

QString& previewBaseOverride()
{
    static QString base;
    return base;
}

// The table's frame, drawn above the heading cells so that the separators
// run through them as well.
class TableLines : public QWidget
{
public:
    explicit TableLines(QWidget* parent) : QWidget(parent)
    {
        setObjectName(u"linTable"_s);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor colour = Look::FrameLineColor();
        // Outer rectangle (21, 72)–(677, 504), 3 px centred on it.
        painter.fillRect(QRect(20, 71, 659, 3), colour);
        painter.fillRect(QRect(20, 455 + UrlRow, 659, 3), colour);
        painter.fillRect(QRect(20, 71, 3, 387 + UrlRow), colour);
        painter.fillRect(QRect(676, 71, 3, 387 + UrlRow), colour);
        // Divider between the heading cells and the fields, and the row
        // separators, 2 px each.
        painter.fillRect(QRect(168, 72, 2, 384 + UrlRow), colour);
        for (int y : {120, 168, 216, 264, 312, 360, 408, 456})
            painter.fillRect(QRect(21, y - 1, 656, 2), colour);
    }
};

} // namespace

frmOption::frmOption(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    Look::RegisterFontSubstitutes();
    setObjectName(u"frmOption"_s);
    setWindowTitle(u"サイト情報登録"_s);
    setFont(Look::UiFont(12));
    m_client = Look::MakeFramedClient(this, ClientSize, Look::PanelColor());

    CreateControls();
    InitControls();
    connect(m_cboHeaderImage, &QComboBox::currentIndexChanged, this, &frmOption::ShowHeaderImage);
    connect(m_cmdSave, &QPushButton::clicked, this, &frmOption::cmdSave_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadOptionValues();
    m_txtSiteName->setFocus();
}

QString frmOption::PreviewBaseUrl()
{
    if (!previewBaseOverride().isEmpty())
        return previewBaseOverride();
    return u"http://"_s + QStringView(Hosts::ServiceHost) + QStringView(Hosts::HeaderPicturePath);
}

void frmOption::SetPreviewBaseUrl(const QString& baseUrl)
{
    previewBaseOverride() = baseUrl;
}

int frmOption::HeaderImageIndex(const QString& headerImage)
{
    const auto number = VbNumber::RoundToInt32(VbNumber::LeadingNumber(headerImage.toUtf8()));
    // Only a hand-edited file gets here with a number beyond the list; the
    // first picture is then as good a start as any, and it stays valid.
    if (!number || *number < -1 || *number >= HeaderImageCount)
        return 0;
    return *number;
}

void frmOption::setVisible(bool visible)
{
    if (visible && !isVisible() && !testAttribute(Qt::WA_Moved))
        Look::CentreOver(this, parentWidget());
    QDialog::setVisible(visible);
}

void frmOption::CreateControls()
{
    auto* banner = new QLabel(m_client);
    banner->setObjectName(u"imgBanner"_s);
    banner->setGeometry(0, 0, 700, 50);
    banner->setPixmap(Look::OptionBanner());

    struct Heading
    {
        const char16_t* name;
        const char16_t* caption;
        QRect geometry;
    };
    // Each caption starts with a line break so that it stands on the cell's
    // second line.
    const Heading headings[] = {
        {u"lblSiteName", u"\nサイト名", QRect(20, 72, 150, 48)},
        {u"lblCatchCopy1", u"\nキャッチコピー　１", QRect(21, 120, 149, 49)},
        {u"lblCatchCopy2", u"\nキャッチコピー　２", QRect(21, 168, 149, 49)},
        {u"lblCatchCopy3", u"\nキャッチコピー　３", QRect(21, 216, 149, 49)},
        {u"lblSiteUrl", u"\n公開URL", QRect(21, 264, 149, 49)},
        {u"lblHeaderImage", u"\n画像 (1から100)", QRect(21, 264 + UrlRow, 149, 49)},
        {u"lblShopID", u"\nショップＩＤ", QRect(21, 312 + UrlRow, 149, 49)},
        {u"lblSiteMaster", u"\nサイト管理者", QRect(21, 360 + UrlRow, 149, 49)},
        {u"lblTax", u"\n税率 (1から100)", QRect(21, 408 + UrlRow, 149, 49)},
    };
    for (const Heading& heading : headings) {
        auto* cell = new QLabel(QString::fromUtf16(heading.caption), m_client);
        cell->setObjectName(QString::fromUtf16(heading.name));
        cell->setGeometry(heading.geometry);
        Look::MakeHeadingCell(cell);
    }

    auto lineEdit = [this](const QString& name, const QRect& geometry) {
        auto* field = new QLineEdit(m_client);
        field->setObjectName(name);
        field->setGeometry(geometry);
        return field;
    };
    m_txtSiteName = lineEdit(u"txtSiteName"_s, QRect(188, 84, 265, 27));
    m_txtCatchCopy1 = lineEdit(u"txtCatchCopy1"_s, QRect(188, 132, 469, 27));
    m_txtCatchCopy2 = lineEdit(u"txtCatchCopy2"_s, QRect(188, 180, 469, 27));
    m_txtCatchCopy3 = lineEdit(u"txtCatchCopy3"_s, QRect(188, 228, 469, 27));
    m_txtSiteUrl = lineEdit(u"txtSiteUrl"_s, QRect(188, 276, 469, 27));
    m_txtSiteUrl->setPlaceholderText(u"例: https://example.jp/items/（空のままなら作りません: サイトマップと商品一覧）"_s);

    m_cboHeaderImage = new QComboBox(m_client);
    m_cboHeaderImage->setObjectName(u"cboHeaderImage"_s);
    m_cboHeaderImage->setEditable(false);
    m_cboHeaderImage->setGeometry(188, 276 + UrlRow, 69, 24);

    m_picHeaderImage = new QLabel(m_client);
    m_picHeaderImage->setObjectName(u"picHeaderImage"_s);
    m_picHeaderImage->setGeometry(268, 272 + UrlRow, 389, 33);
    m_picHeaderImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picHeaderImage->setScaledContents(false);

    m_txtShopID = lineEdit(u"txtShopID"_s, QRect(188, 324 + UrlRow, 193, 27));
    m_txtSiteMaster = lineEdit(u"txtSiteMaster"_s, QRect(188, 372 + UrlRow, 145, 27));
    m_txtTax = lineEdit(u"txtTax"_s, QRect(188, 420 + UrlRow, 41, 27));

    // Shop ID and tax rate are plain ASCII: no Japanese input method there.
    m_txtSiteUrl->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_txtSiteUrl->setInputMethodHints(Qt::ImhUrlCharactersOnly | Qt::ImhNoPredictiveText);
    for (QLineEdit* field : {m_txtShopID, m_txtTax}) {
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
        field->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
    }
    m_txtTax->setInputMethodHints(m_txtTax->inputMethodHints() | Qt::ImhPreferNumbers);

    auto* percent = new QLabel(u"％"_s, m_client);
    percent->setObjectName(u"lblPercent"_s);
    // One em high like the designed font's line, so that the sign stands
    // level with the digits in txtTax and not below them.
    percent->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    percent->setGeometry(236, 428 + UrlRow, percent->sizeHint().width(), QFontInfo(font()).pixelSize());

    m_cmdSave = new QPushButton(u"保存"_s, m_client);
    m_cmdSave->setObjectName(u"cmdSave"_s);
    m_cmdSave->setGeometry(21, 480 + UrlRow, 105, 41);
    m_cmdCancel = new QPushButton(u"キャンセル"_s, m_client);
    m_cmdCancel->setObjectName(u"cmdCancel"_s);
    m_cmdCancel->setGeometry(133, 480 + UrlRow, 101, 41);
    // Enter moves the focus on here, so no button may take it as a click.
    for (QPushButton* button : {m_cmdSave, m_cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* lines = new TableLines(m_client);
    lines->setGeometry(QRect(QPoint(0, 0), ClientSize));
    lines->raise();

    QWidget* const order[] = {m_txtSiteName,  m_txtCatchCopy1, m_txtCatchCopy2, m_txtCatchCopy3,
                              m_txtSiteUrl,   m_cboHeaderImage, m_txtShopID,   m_txtSiteMaster, m_txtTax,
                              m_cmdSave,      m_cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmOption::InitControls()
{
    for (int i = 1; i <= HeaderImageCount; ++i)
        m_cboHeaderImage->addItem(QString::fromLatin1(HeaderImageNumber(i)));

    // Attached before anything is loaded, so that the loaded tax rate is
    // repaired by the box's rules.
    m_taxBox = new numberText(this);
    m_taxBox->SetNumberText(m_txtTax);
    m_taxBox->SetMaxLength(2);

    // Application filters run before the numeric box's own, so Enter never
    // reaches it.
    InstallEnterAsTab(this, [this] { focusNextChild(); });
}

void frmOption::LoadOptionValues()
{
    clsOption option;
    option.GetOptionIniValue();

    // Selecting the entry that is already current raises no change, yet the
    // preview must be fetched either way.
    const int index = HeaderImageIndex(option.HeaderImage());
    if (m_cboHeaderImage->currentIndex() == index)
        ShowHeaderImage();
    else
        m_cboHeaderImage->setCurrentIndex(index);

    m_txtSiteName->setText(option.SiteName());
    m_txtCatchCopy1->setText(option.CatchCopy1());
    m_txtCatchCopy2->setText(option.CatchCopy2());
    m_txtCatchCopy3->setText(option.CatchCopy3());
    m_txtSiteUrl->setText(option.SiteUrl());
    m_txtShopID->setText(option.ShopID());
    m_txtSiteMaster->setText(option.SiteMaster());
    m_txtTax->setText(option.Tax());
}

void frmOption::ShowHeaderImage()
{
    // Cleared first: a failed fetch must not leave the previous picture.
    m_picHeaderImage->clear();
    const int index = m_cboHeaderImage->currentIndex();
    if (index < 0)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QPixmap picture = basUrlPic::LoadUrlPicture(
        PreviewBaseUrl() + QString::fromLatin1(HeaderImageFile(index + 1)));
    QGuiApplication::restoreOverrideCursor();
    if (!picture.isNull())
        m_picHeaderImage->setPixmap(picture);
}

void frmOption::FillOption(clsOption& option) const
{
    option.SetHeaderImage(QString::number(m_cboHeaderImage->currentIndex()));
    option.SetSiteName(m_txtSiteName->text());
    option.SetCatchCopy1(m_txtCatchCopy1->text());
    option.SetCatchCopy2(m_txtCatchCopy2->text());
    option.SetCatchCopy3(m_txtCatchCopy3->text());
    option.SetShopID(m_txtShopID->text());
    option.SetSiteMaster(m_txtSiteMaster->text());
    option.SetTax(m_txtTax->text());
}

// Nothing typed may turn into "?" unasked: characters that the settings
// file's encoding cannot hold are listed, and the user either lets the file
// become UTF-8 (which keeps them) or goes back to the window.
bool frmOption::AskKeepCharacters(bool* asUtf8)
{
    *asUtf8 = false;
    clsOption option;
    FillOption(option);
    const auto lost = option.UnencodableCharacters();
    // In key order: header picture, site name, catch copy 1–3, shop ID,
    // site administrator, tax rate.
    const char16_t* const names[] = {u"画像", u"サイト名", u"キャッチコピー　１", u"キャッチコピー　２",
                                     u"キャッチコピー　３", u"ショップＩＤ", u"サイト管理者", u"税率"};
    QLineEdit* const fields[] = {nullptr,         m_txtSiteName, m_txtCatchCopy1, m_txtCatchCopy2,
                                 m_txtCatchCopy3, m_txtShopID,   m_txtSiteMaster, m_txtTax};
    QStringList lines;
    QLineEdit* first = nullptr;
    for (size_t i = 0; i < lost.size(); ++i) {
        if (lost[i].isEmpty())
            continue;
        lines.append(u"　"_s + QString::fromUtf16(names[i]) + u"：　"_s + lost[i].join(u"　"_s));
        if (!first)
            first = fields[i];
    }
    if (lines.isEmpty())
        return true;
    if (KeepCharacters::AskSaveAsUtf8(this, lines)) {
        *asUtf8 = true;
        return true;
    }
    if (first)
        first->setFocus();
    return false;
}

bool frmOption::SaveOptionValues(bool asUtf8)
{
    clsOption option;
    FillOption(option);
    option.SetSiteUrl(m_siteUrl);
    return option.SetOptionIniValue(asUtf8);
}

void frmOption::cmdSave_Click()
{
    // A wrong address would give a sitemap that sends search engines nowhere.
    QString why;
    if (!SiteUrl::Normalize(m_txtSiteUrl->text(), &m_siteUrl, &why)) {
        MsgBox::Show(this, why, MessageIcon::Exclamation);
        m_txtSiteUrl->setFocus();
        m_txtSiteUrl->selectAll();
        return;
    }
    m_txtSiteUrl->setText(m_siteUrl);
    bool asUtf8 = false;
    if (!AskKeepCharacters(&asUtf8))
        return; // back to the window; nothing saved
    Platform::ClearFileError();
    if (!SaveOptionValues(asUtf8)) {
        // Saying "saved" here would lose the user's input without a word;
        // the window stays open so that nothing typed is lost.
        const QString path =
            QDir::toNativeSeparators(QFileInfo(clsOption::DefaultIniPath()).absoluteFilePath());
        const QString failure = clsTextFile::LastFailureText(clsOption::DefaultIniPath());
        QString text = u"サイト情報を保存できませんでした。\r\n\r\n"_s + path + u"\r\n"_s + failure;
        if (clsTextFile::MayBeHeldOpen(failure))
            text += u"\r\n\r\noption.ini がメモ帳などほかのプログラムで開かれていないか確かめてください。"_s;
        text += u"\r\n\r\nフォルダーに書き込めるか、ディスクに空きがあるかを"
                u"確かめてから、もう一度保存してください。"_s;
        MsgBox::Show(this, text, MessageIcon::Critical);
        return;
    }
    MsgBox::Show(this,
                 u"保存しました。\r\n\r\n再登録したい場合は、メイン画面のオプションメニューから行います。"_s,
                 MessageIcon::Information);
    accept();
}

void frmOption::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // Only "キャンセル" discards the input; a stray Escape (often meant
        // for the input method) must not.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
