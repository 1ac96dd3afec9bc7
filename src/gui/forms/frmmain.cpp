#include "forms/frmmain.h"

#include "base/appinfo.h"
#include "forms/frmabout.h"
#include "forms/frmoption.h"
#include "forms/frmprogress.h"
#include "generation/generationrun.h"
#include "settings/clsoption.h"
#ifdef SORABI_HAVE_UPLOAD
#include "forms/frmupload.h"
#include "forms/uploadflow.h"
#endif
#include "widgets/artwork.h"
#include "widgets/entertab.h"
#include "widgets/filedialog.h"
#include "widgets/msgbox.h"
#include "widgets/shell.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QTranslator>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int kClientWidth = 797;
constexpr int kClientHeight = 655;
constexpr int kStatusHeight = 29;

QWidget* filledBox(QWidget* parent, const QString& name, const QRect& geometry, const QColor& color)
{
    auto* box = new QWidget(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, color);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    return box;
}

// A straight line drawn as a thin filled box centred on its end points.
void line(QWidget* parent, const QString& name, QPoint from, QPoint to, int width)
{
    const int half = width / 2;
    const QRect box = QRect(from, to).normalized().adjusted(-half, -half, width - half - 1,
                                                             width - half - 1);
    filledBox(parent, name, box, Look::FrameLineColor());
}

QLabel* picture(QWidget* parent, const QString& name, const QRect& geometry, const QPixmap& pixmap)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setPixmap(pixmap);
    return label;
}

} // namespace

// ---------------------------------------------------------------------------
// How a run started from this window reaches the user.

class frmMain::RunUiImpl : public RunUi
{
public:
    explicit RunUiImpl(frmMain& window) : m_window(window) {}

    void ShowMessage(const QString& text, MessageIcon icon) override
    {
        MsgBox::Show(&m_window, text, icon);
    }
    bool AskCancel(const QString& question) override
    {
        // Closing the window mid-run counts as a confirmed cancellation.
        if (m_window.m_closeRequested)
            return true;
        return MsgBox::Show(&m_window, question, MessageIcon::Question, MsgBox::Buttons::YesNo)
               == MsgBox::Answer::Yes;
    }
    bool AskGoOnWithoutShopId(const QString& text) override
    {
        const QString question = text + u"\r\n\r\nショップIDなしで作成しますか？\r\n"
                                        u"「いいえ」を選ぶと、サイト情報登録の画面を開きます。"_s;
        if (MsgBox::Show(&m_window, question, MessageIcon::Question, MsgBox::Buttons::YesNo)
            == MsgBox::Answer::Yes)
            return true;
        m_window.mnuOptionSite_Click();
        return false;
    }
    void SetWaitCursor(bool wait) override
    {
        if (wait)
            m_window.setCursor(Qt::WaitCursor);
        else
            m_window.unsetCursor();
    }
    void SetStatusText(const QString& text) override
    {
        m_window.m_statusText->setText(text);
        m_window.m_statusText->repaint();
    }
    std::unique_ptr<ProgressView> CreateProgress() override
    {
        auto form = std::make_unique<frmProgress>(&m_window);
        m_window.m_progress = form.get();
        if (m_window.m_closeRequested)
            form->RequestStop();
        return form;
    }

private:
    frmMain& m_window;
};

// ---------------------------------------------------------------------------

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    Look::RegisterFontSubstitutes();
    setObjectName(u"frmMain"_s);
    setWindowTitle(AppInfo::WindowTitle());
    setWindowIcon(Look::ProgramIcon());
    setFont(Look::UiFont(12));
    CreateMenus();
    CreateControls();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    InstallEnterAsTab(this, [this] { focusNextChild(); });
}

frmMain::~frmMain() = default;

void frmMain::CreateMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* mnuFile = bar->addMenu(u"ファイル(&F)"_s);
    mnuFile->setObjectName(u"mnuFile"_s);
    QAction* mnuFileExec = mnuFile->addAction(u"作成"_s);
    mnuFileExec->setObjectName(u"mnuFileExec"_s);
    mnuFileExec->setShortcut(Qt::Key_F5);
    mnuFileExec->setShortcutContext(Qt::WindowShortcut);
#ifdef SORABI_HAVE_UPLOAD
    QAction* mnuFileUpload = mnuFile->addAction(u"アップロード"_s);
    mnuFileUpload->setObjectName(u"mnuFileUpload"_s);
    mnuFileUpload->setShortcut(Qt::Key_F6);
    mnuFileUpload->setShortcutContext(Qt::WindowShortcut);
    connect(mnuFileUpload, &QAction::triggered, this, &frmMain::mnuFileUpload_Click);
#endif
    // The pages before they go up: the folder, and the pages in the browser.
    m_mnuFileOpenFolder = mnuFile->addAction(u"出力フォルダを開く"_s);
    m_mnuFileOpenFolder->setObjectName(u"mnuFileOpenFolder"_s);
    connect(m_mnuFileOpenFolder, &QAction::triggered, this, &frmMain::mnuFileOpenFolder_Click);
    m_mnuFileBrowse = mnuFile->addAction(u"ページをブラウザで表示"_s);
    m_mnuFileBrowse->setObjectName(u"mnuFileBrowse"_s);
    connect(m_mnuFileBrowse, &QAction::triggered, this, &frmMain::mnuFileBrowse_Click);
    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::UpdatePreviewMenu);
    UpdatePreviewMenu();
    QAction* mnuFileBar = mnuFile->addSeparator();
    mnuFileBar->setObjectName(u"mnuFileBar"_s);
    QAction* mnuFileEnd = mnuFile->addAction(u"終了(&X)"_s);
    mnuFileEnd->setObjectName(u"mnuFileEnd"_s);

    QMenu* mnuOption = bar->addMenu(u"オプション(&O)"_s);
    mnuOption->setObjectName(u"mnuOption"_s);
    QAction* mnuOptionSite = mnuOption->addAction(u"サイト情報登録..."_s);
    mnuOptionSite->setObjectName(u"mnuOptionSite"_s);
#ifdef SORABI_HAVE_UPLOAD
    QAction* mnuOptionUpload = mnuOption->addAction(u"アップロード設定..."_s);
    mnuOptionUpload->setObjectName(u"mnuOptionUpload"_s);
    connect(mnuOptionUpload, &QAction::triggered, this, &frmMain::mnuOptionUpload_Click);
#endif

    QMenu* mnuHelp = bar->addMenu(u"ヘルプ(&H)"_s);
    mnuHelp->setObjectName(u"mnuHelp"_s);
    QAction* mnuHelpVersion = mnuHelp->addAction(u"バージョン情報(&V)..."_s);
    mnuHelpVersion->setObjectName(u"mnuHelpVersion"_s);

    connect(mnuFileExec, &QAction::triggered, this, &frmMain::CreatePages);
    connect(mnuFileEnd, &QAction::triggered, this, &frmMain::close);
    connect(mnuOptionSite, &QAction::triggered, this, &frmMain::mnuOptionSite_Click);
    connect(mnuHelpVersion, &QAction::triggered, this, &frmMain::mnuHelpVersion_Click);
}

void frmMain::CreateControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(u"client"_s);
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window, Look::HeadingColor());
    client->setPalette(palette);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    m_fraMain = filledBox(client, u"fraMain"_s, QRect(28, 0, 741, 605), Look::PanelColor());

    m_txtCsvPath = new QLineEdit(m_fraMain);
    m_txtCsvPath->setObjectName(u"txtCsvPath"_s);
    m_txtCsvPath->setGeometry(188, 152, 445, 27);

    auto* cmdView = new QPushButton(u"参照"_s, m_fraMain);
    cmdView->setObjectName(u"cmdView"_s);
    cmdView->setGeometry(636, 152, 65, 25);

    QWidget* fraButton =
        filledBox(m_fraMain, u"fraButton"_s, QRect(20, 544, 701, 41), Look::PanelColor());
    auto* cmdSupport = new QPushButton(u"他のテンプレートはサポートページにて"_s, fraButton);
    cmdSupport->setObjectName(u"cmdSupport"_s);
    cmdSupport->setGeometry(392, 0, 309, 41);
    auto* cmdEnd = new QPushButton(u"終了"_s, fraButton);
    cmdEnd->setObjectName(u"cmdEnd"_s);
    cmdEnd->setGeometry(108, 0, 101, 41);
    auto* cmdExec = new QPushButton(u"作成"_s, fraButton);
    cmdExec->setObjectName(u"cmdExec"_s);
    cmdExec->setGeometry(0, 0, 101, 41);
    for (QPushButton* button : {cmdView, cmdSupport, cmdEnd, cmdExec})
        button->setAutoDefault(false);

    line(m_fraMain, u"Line3"_s, {20, 188}, {720, 188}, 3);
    line(m_fraMain, u"Line1"_s, {20, 140}, {20, 188}, 3);
    line(m_fraMain, u"Line2"_s, {20, 140}, {720, 140}, 3);
    line(m_fraMain, u"Line4"_s, {720, 140}, {720, 188}, 3);
    line(m_fraMain, u"Line6"_s, {168, 140}, {168, 188}, 2);

    picture(m_fraMain, u"Image2"_s, QRect(120, 204, 500, 60), Look::EditionCaption());
    QLabel* imgTemplate =
        picture(m_fraMain, u"imgTemplate"_s, QRect(188, 280, 363, 239), Look::SamplePage());
    imgTemplate->setScaledContents(true);
    imgTemplate->setFrameShape(QFrame::Box);
    imgTemplate->setLineWidth(1);
    picture(m_fraMain, u"Image1"_s, QRect(20, 8, 700, 100), Look::TitleBanner());

    auto* label1 = new QLabel(u"\r\nＣＳＶファイル"_s, m_fraMain);
    label1->setObjectName(u"Label1"_s);
    label1->setGeometry(19, 140, 150, 48);
    Look::MakeHeadingCell(label1);
    // The frame lines lie over the heading cell's edges.
    for (const char16_t* name : {u"Line1", u"Line2", u"Line3", u"Line6"})
        m_fraMain->findChild<QWidget*>(QString::fromUtf16(name))->raise();

    QStatusBar* status = statusBar();
    status->setObjectName(u"StatusBar1"_s);
    status->setFixedHeight(kStatusHeight);
    status->setSizeGripEnabled(false);
    m_statusText = new QLabel(status);
    m_statusText->setObjectName(u"StatusBar1Text"_s);
    status->addWidget(m_statusText, 1);

    setTabOrder(m_txtCsvPath, cmdView);
    setTabOrder(cmdView, cmdExec);
    setTabOrder(cmdExec, cmdEnd);
    setTabOrder(cmdEnd, cmdSupport);

    connect(cmdExec, &QPushButton::clicked, this, &frmMain::CreatePages);
    connect(cmdEnd, &QPushButton::clicked, this, &frmMain::close);
    connect(cmdView, &QPushButton::clicked, this, &frmMain::cmdView_Click);
    connect(cmdSupport, &QPushButton::clicked, this, &frmMain::cmdSupport_Click);
}

void frmMain::Startup()
{
    {
        const clsOption option;
        if (!option.IsIniFileExists()) {
            frmOption settings;
            settings.exec();
        }
    }
    showMaximized();
    m_txtCsvPath->setFocus();
}

QString frmMain::StatusText() const
{
    return m_statusText->text();
}

bool frmMain::ChooseDataFolder(bool perUser)
{
    QString failure;
    if (m_dataFolder.Choose(perUser, &failure))
        return true;
    MsgBox::Show(this, failure, MessageIcon::Critical);
    return false;
}

void frmMain::SetFileDialogRunner(FileDialogRunner runner)
{
    FileDialog::SetRunner(std::move(runner));
}

void frmMain::CreatePages()
{
    if (IsRunInProgress())
        return;
#ifdef SORABI_HAVE_UPLOAD
    // Not while the pages are going up.
    if (UploadFlow::IsUploading())
        return;
#endif
    RunUiImpl ui(*this);
    RunOptions options;
    options.csvPath = m_txtCsvPath->text();
    options.workingCopyFolder = m_dataFolder.Path();
    options.outputParentFolder = m_dataFolder.Path();
    options.settingsPath = clsOption::DefaultIniPath();
    // Beside the program the user knows where the pages are; elsewhere not.
    options.announceOutputFolder = m_dataFolder.IsPerUser();
    const RunResult result = ::CreatePages(ui, options);
    m_lastOutputFolder = result.outputFolder;
    UpdatePreviewMenu();
    if (m_closeRequested)
        close();
}

void frmMain::CentreMainPanel()
{
    const QWidget* client = centralWidget();
    const double left = (client->width() - m_fraMain->width()) / 2.0;
    m_fraMain->move(int(std::floor(left)), 0);
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    CentreMainPanel();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (IsRunInProgress()) {
        // The run ends at its next line as if cancelled; then the window closes.
        m_closeRequested = true;
        if (m_progress)
            m_progress->RequestStop();
        event->ignore();
        return;
    }
#ifdef SORABI_HAVE_UPLOAD
    if (UploadFlow::IsUploading()) {
        // The upload stops at once (a page on its way stays under its
        // temporary name); the window stays open for the message that says so.
        UploadFlow::RequestStop();
        event->ignore();
        return;
    }
#endif
    QMainWindow::closeEvent(event);
}

QString frmMain::DialogStartFolder()
{
    // The desktop, or the home folder where a desktop has no folder of its own.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

void frmMain::cmdView_Click()
{
    const FileDialog::QtTextsInJapanese japanese;
    QFileDialog dialog(this, u"商品データCSVファイルを指定してください。"_s);
    dialog.setObjectName(u"CommonDialog1"_s);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(u"CSV ファイル (*.csv)"_s);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDirectory(DialogStartFolder());
    dialog.selectFile(u"article.csv"_s);
    if (const std::optional<QString> chosen = FileDialog::Run(dialog))
        m_txtCsvPath->setText(QDir::toNativeSeparators(*chosen));
}

void frmMain::cmdSupport_Click()
{
    Shell::OpenUrl(QUrl(AppInfo::SupportUrl()));
}

void frmMain::mnuOptionSite_Click()
{
    frmOption settings;
    settings.exec();
}

void frmMain::mnuOptionUpload_Click()
{
#ifdef SORABI_HAVE_UPLOAD
    frmUpload settings(clsOption::DefaultIniPath(), this);
    settings.exec();
#endif
}

QString frmMain::PreviewFolder() const
{
    if (!m_lastOutputFolder.isEmpty() && QFileInfo(m_lastOutputFolder).isDir())
        return m_lastOutputFolder;
    return NewestOutputFolder(m_dataFolder.Path());
}

void frmMain::UpdatePreviewMenu()
{
    const bool exists = !PreviewFolder().isEmpty();
    m_mnuFileOpenFolder->setEnabled(exists);
    m_mnuFileBrowse->setEnabled(exists);
}

void frmMain::mnuFileOpenFolder_Click()
{
    const QString folder = PreviewFolder();
    if (!folder.isEmpty())
        Shell::OpenUrl(QUrl::fromLocalFile(folder));
}

void frmMain::mnuFileBrowse_Click()
{
    const QString folder = PreviewFolder();
    if (folder.isEmpty())
        return;
    // The list page when the public address made one; else the first page.
    QString page = QDir(folder).filePath(u"index.html"_s);
    if (!QFileInfo(page).isFile()) {
        const QStringList pages = QDir(folder).entryList({u"*.html"_s}, QDir::Files, QDir::Name);
        if (pages.isEmpty()) {
            Shell::OpenUrl(QUrl::fromLocalFile(folder));
            return;
        }
        page = QDir(folder).filePath(pages.first());
    }
    Shell::OpenUrl(QUrl::fromLocalFile(page));
}

void frmMain::mnuFileUpload_Click()
{
#ifdef SORABI_HAVE_UPLOAD
    if (IsRunInProgress() || UploadFlow::IsUploading())
        return;
    if (const std::optional<QString> folder = UploadFlow::ChooseFolder(this, m_lastOutputFolder,
                                                                       m_dataFolder.Path()))
        UploadFlow::Upload(this, clsOption::DefaultIniPath(), *folder);
#endif
}

void frmMain::mnuHelpVersion_Click()
{
    frmAbout about;
    about.exec();
}
