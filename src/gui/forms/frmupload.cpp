#include "forms/frmupload.h"

#include "forms/uploadflow.h"
#include "settings/basinifile.h"
#include "upload/destination.h"
#include "upload/passwordstore.h"
#include "upload/uploadrun.h"
#include "widgets/artwork.h"
#include "widgets/entertab.h"
#include "widgets/keepcharacters.h"
#include "widgets/msgbox.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// The list's order.
constexpr UploadProtocol Protocols[] = {UploadProtocol::Ftps, UploadProtocol::Sftp,
                                        UploadProtocol::Ftp};

int indexOf(UploadProtocol protocol)
{
    for (int i = 0; i < 3; ++i) {
        if (Protocols[i] == protocol)
            return i;
    }
    return 0;
}

// How "接続テスト" answers the upload: it asks about server keys as an
// upload does; it sends nothing.
class ConnectionTestUi : public UploadUi
{
public:
    explicit ConnectionTestUi(QWidget* parent) : m_parent(parent) {}
    bool IsCancelled() override { return false; }
    void Progress(int, int, qint64) override {}
    bool TrustKey(KeyQuestion question, const QString& server, const QString& fingerprint) override
    {
        return UploadFlow::AskTrust(m_parent, question, server, fingerprint);
    }
    bool ConfirmPlan(const UploadPlan&) override { return false; }
    bool ConfirmRemoval(const QStringList&) override { return false; }

private:
    QWidget* m_parent;
};

} // namespace

frmUpload::frmUpload(const QString& iniPath, QWidget* parent) : QDialog(parent), m_iniPath(iniPath)
{
    Look::RegisterFontSubstitutes();
    setObjectName(u"frmUpload"_s);
    setWindowTitle(u"アップロード設定"_s);
    setFont(Look::UiFont(12));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Look::PanelColor());
    setPalette(palette);
    setAutoFillBackground(true);
    CreateControls();
    LoadValues();
    connect(m_cboProtocol, &QComboBox::currentIndexChanged, this, &frmUpload::cboProtocol_Changed);
    connect(m_cmdTest, &QPushButton::clicked, this, &frmUpload::cmdTest_Click);
    connect(m_cmdSave, &QPushButton::clicked, this, &frmUpload::cmdSave_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmUpload::CreateControls()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    const auto row = [&](int at, const QString& caption, QWidget* field, const QString& name) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(u"lbl"_s + name);
        // The heading cells' colours; one line each, so the caption sits in the middle.
        QPalette cell = label->palette();
        cell.setColor(QPalette::Window, Look::HeadingColor());
        cell.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(cell);
        label->setAutoFillBackground(true);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(160);
        field->setObjectName((qobject_cast<QComboBox*>(field) ? u"cbo"_s : u"txt"_s) + name);
        grid->addWidget(label, at, 0);
        grid->addWidget(field, at, 1);
    };
    m_cboProtocol = new QComboBox(this);
    m_cboProtocol->addItems({u"FTPS（FTP over TLS、暗号化）"_s, u"SFTP（SSH、暗号化）"_s,
                             u"FTP（暗号化なし）"_s});
    m_txtHost = new QLineEdit(this);
    m_txtPort = new QLineEdit(this);
    m_txtPort->setMaxLength(5);
    m_txtUser = new QLineEdit(this);
    m_txtPassword = new QLineEdit(this);
    m_txtPassword->setEchoMode(QLineEdit::Password);
    m_txtFolder = new QLineEdit(this);
    m_txtFolder->setPlaceholderText(u"例: public_html"_s);
    row(0, u"プロトコル"_s, m_cboProtocol, u"Protocol"_s);
    row(1, u"サーバー"_s, m_txtHost, u"Host"_s);
    row(2, u"ポート"_s, m_txtPort, u"Port"_s);
    row(3, u"ユーザー名"_s, m_txtUser, u"User"_s);
    row(4, u"パスワード"_s, m_txtPassword, u"Password"_s);
    row(5, u"リモートフォルダ"_s, m_txtFolder, u"Folder"_s);
    // Empty is the default; a server that allows fewer gets fewer by itself.
    m_txtConnections = new QLineEdit(this);
    m_txtConnections->setMaxLength(1);
    m_txtConnections->setPlaceholderText(QString::number(UploadDestination::DefaultConnections));
    m_txtConnections->setToolTip(u"1～8。サーバーが許す数より多いときは、許される数で送ります。"_s);
    row(6, u"同時接続数"_s, m_txtConnections, u"Connections"_s);

    m_cmdTest = new QPushButton(u"接続テスト"_s, this);
    m_cmdTest->setObjectName(u"cmdTest"_s);
    m_cmdSave = new QPushButton(u"保存"_s, this);
    m_cmdSave->setObjectName(u"cmdSave"_s);
    m_cmdCancel = new QPushButton(u"キャンセル"_s, this);
    m_cmdCancel->setObjectName(u"cmdCancel"_s);
    // As in the site settings, Enter moves on to the next field: it must not
    // save a half-typed destination, so no button takes it as a click.
    for (QPushButton* button : {m_cmdTest, m_cmdSave, m_cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    InstallEnterAsTab(this, [this] { focusNextChild(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdTest);
    buttons->addStretch();
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    setMinimumWidth(520);
}

void frmUpload::LoadValues()
{
    UploadDestination d;
    QString failure;
    // A hand-edited value that is no protocol or port shows the defaults.
    UploadDestination::Load(m_iniPath, &d, &failure);
    m_protocolIndex = indexOf(d.protocol);
    m_cboProtocol->setCurrentIndex(m_protocolIndex);
    m_txtHost->setText(d.host);
    m_txtConnections->setText(d.connections == UploadDestination::DefaultConnections
                                  ? QString()
                                  : QString::number(d.connections));
    m_txtPort->setText(d.port > 0 ? QString::number(d.port) : QString());
    m_txtPort->setPlaceholderText(QString::number(UploadDestination::DefaultPort(d.protocol)));
    m_txtUser->setText(d.user);
    m_txtFolder->setText(d.folder);
    QString password;
    if (d.HasHost() && PasswordStore::Read(d.CredentialEntry(), &password, &failure))
        m_txtPassword->setText(password);
}

void frmUpload::cboProtocol_Changed(int index)
{
    if (index < 0 || index == m_protocolIndex)
        return;
    if (Protocols[index] == UploadProtocol::Ftp
        && MsgBox::Show(this,
                        u"FTP では、パスワードとページが暗号化されずに送られます。"
                        "途中の回線で盗み見られたり書き換えられたりするおそれがあります。\n\n"
                        "サーバーが FTPS にも SFTP にも対応していない場合だけ選んでください。"
                        "FTP を使いますか？"_s,
                        MessageIcon::Exclamation, MsgBox::Buttons::YesNo)
               != MsgBox::Answer::Yes) {
        const QSignalBlocker block(m_cboProtocol);
        m_cboProtocol->setCurrentIndex(m_protocolIndex);
        return;
    }
    // A port that was the old protocol's usual one follows the protocol.
    if (m_txtPort->text().trimmed()
        == QString::number(UploadDestination::DefaultPort(Protocols[m_protocolIndex])))
        m_txtPort->clear();
    m_protocolIndex = index;
    m_txtPort->setPlaceholderText(QString::number(UploadDestination::DefaultPort(Protocols[index])));
}

bool frmUpload::ReadDestination(UploadDestination* d)
{
    d->protocol = Protocols[std::max(0, m_cboProtocol->currentIndex())];
    d->host = m_txtHost->text().trimmed();
    d->user = m_txtUser->text().trimmed();
    d->folder = m_txtFolder->text().trimmed();
    const std::optional<int> port = UploadDestination::ParsePort(m_txtPort->text().trimmed());
    if (!port) {
        MsgBox::Show(this, u"ポート番号は 1～65535 の数字で入力してください（空欄なら標準のポート）。"_s,
                     MessageIcon::Exclamation);
        m_txtPort->setFocus();
        return false;
    }
    d->port = *port;
    const std::optional<int> connections = UploadDestination::ParseConnections(
        m_txtConnections->text().trimmed());
    if (!connections) {
        MsgBox::Show(this, u"同時接続数は 1～8 の数字で入力してください（空欄なら 4）。"_s,
                     MessageIcon::Exclamation);
        m_txtConnections->setFocus();
        return false;
    }
    d->connections = *connections;
    if (!d->HasHost()) {
        MsgBox::Show(this, u"サーバー（ホスト名）を入力してください。"_s, MessageIcon::Exclamation);
        m_txtHost->setFocus();
        return false;
    }
    return true;
}

void frmUpload::cmdTest_Click()
{
    UploadOptions options;
    if (!ReadDestination(&options.destination))
        return;
    options.password = m_txtPassword->text();
    // An empty field: the stored password, else asked for, as the upload does.
    QString failure;
    if (options.password.isEmpty()
        && !PasswordStore::Read(options.destination.CredentialEntry(), &options.password, &failure)) {
        const std::optional<QString> typed = UploadFlow::AskPassword(
            this, u"%1@%2 のパスワード:"_s.arg(options.destination.user, options.destination.host));
        if (!typed)
            return;
        options.password = *typed;
    }
    options.stateFolder = UploadDestination::StateFolder(m_iniPath);
    options.timeoutSeconds = 15;
    setCursor(Qt::WaitCursor);
    ConnectionTestUi ui(this);
    const UploadResult result = TestConnection(options, ui);
    unsetCursor();
    if (result.outcome == UploadOutcome::Completed)
        MsgBox::Show(this, u"接続できました。"_s, MessageIcon::Information);
    else
        MsgBox::Show(this, result.message, MessageIcon::Critical);
}

void frmUpload::cmdSave_Click()
{
    UploadDestination d;
    if (!ReadDestination(&d))
        return;
    // Nothing typed may turn into "?" unasked (as in the site settings).
    QStringList lines;
    QLineEdit* first = nullptr;
    for (const auto& [caption, field] : {std::pair{u"サーバー"_s, m_txtHost},
                                         std::pair{u"ユーザー名"_s, m_txtUser},
                                         std::pair{u"リモートフォルダ"_s, m_txtFolder}}) {
        const QStringList lost =
            basIniFile::UnencodableCharacters(m_iniPath, {field->text().trimmed()});
        if (lost.isEmpty())
            continue;
        lines.append(u"　"_s + caption + u"：　"_s + lost.join(u"　"_s));
        if (!first)
            first = field;
    }
    if (!lines.isEmpty()) {
        if (!KeepCharacters::AskSaveAsUtf8(this, lines)) {
            first->setFocus();
            return; // back to the window; nothing saved
        }
        if (!basIniFile::ConvertFileToUtf8(m_iniPath)) {
            MsgBox::Show(this, u"設定ファイル %1 を UTF-8 で保存し直せませんでした。"_s.arg(
                                   QDir::toNativeSeparators(m_iniPath)),
                         MessageIcon::Critical);
            return;
        }
    }
    if (!d.Save(m_iniPath)) {
        MsgBox::Show(this, u"設定ファイル %1 に保存できませんでした。"_s.arg(
                               QDir::toNativeSeparators(m_iniPath)),
                     MessageIcon::Critical);
        return;
    }
    const QString password = m_txtPassword->text();
    QString failure;
    if (!password.isEmpty()
        && !PasswordStore::Write(d.CredentialEntry(), password, &failure)) {
        MsgBox::Show(this,
                     u"パスワードは保管できませんでした。アップロードのたびに入力してください。\n（%1）"_s
                         .arg(failure),
                     MessageIcon::Exclamation);
    }
    MsgBox::Show(this, u"保存しました。"_s, MessageIcon::Information);
    accept();
}
