#include "forms/uploadflow.h"

#include "forms/frmprogress.h"
#include "generation/generationrun.h"
#include "upload/passwordstore.h"
#include "upload/uploadrun.h"
#include "widgets/filedialog.h"
#include "widgets/msgbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

// The running upload's progress window.
QPointer<frmProgress>& activeProgress()
{
    static QPointer<frmProgress> progress;
    return progress;
}

UploadFlow::PasswordPrompt& passwordPrompt()
{
    static UploadFlow::PasswordPrompt prompt;
    return prompt;
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return u"%1 MB"_s.arg(bytes / 1048576.0, 0, 'f', 1);
    return u"%1 KB"_s.arg((bytes + 1023) / 1024);
}

// Answers the upload with windows. The upload runs on this thread; each
// time it asks whether to stop, pending window events run, as during a
// generation run.
class WindowUploadUi : public UploadUi
{
public:
    WindowUploadUi(QWidget* parent, frmProgress* progress) : m_parent(parent), m_progress(progress)
    {
        m_sinceEvents.start();
    }

    bool IsCancelled() override
    {
        if (m_cancelled || !m_progress)
            return m_cancelled;
        if (m_sinceEvents.elapsed() < 20)
            return false;
        m_sinceEvents.restart();
        m_progress->ReDraw();
        if (!m_progress || m_progress->IsStopRequested()) {
            m_cancelled = true;
        } else if (m_progress->IsCancel()) {
            m_cancelled = MsgBox::Show(m_parent, u"アップロードを中止しますか？"_s,
                                       MessageIcon::Question, MsgBox::Buttons::YesNo)
                          == MsgBox::Answer::Yes;
        }
        return m_cancelled;
    }

    void Progress(int done, int total, qint64 bytes) override
    {
        if (!m_progress)
            return;
        if (!m_sinceStart.isValid())
            m_sinceStart.start();
        m_progress->SetMaxValue(std::max(total, 1));
        m_progress->SetValue(done);
        const double seconds = std::max<qint64>(m_sinceStart.elapsed(), 1) / 1000.0;
        m_progress->SetMessage(u"アップロード中  %1 / %2 ページ（%3）  %4 ページ/秒  %5 MB/秒"_s
                                   .arg(done)
                                   .arg(total)
                                   .arg(sizeText(bytes))
                                   .arg(done / seconds, 0, 'f', 1)
                                   .arg(bytes / 1048576.0 / seconds, 0, 'f', 2));
    }

    bool TrustKey(KeyQuestion question, const QString& server, const QString& fingerprint) override
    {
        return UploadFlow::AskTrust(m_parent, question, server, fingerprint);
    }

    bool ConfirmRemoval(const QStringList& names) override
    {
        constexpr int Shown = 20;
        QString list = names.mid(0, Shown).join(u'\n');
        if (names.size() > Shown)
            list += u"\nほか %1 ページ"_s.arg(names.size() - Shown);
        return MsgBox::Show(m_parent,
                            u"前回までにアップロードした次の %1 ページは、このフォルダにはもうありません。\n\n"
                            "%2\n\nサーバーから削除しますか？"_s.arg(names.size()).arg(list),
                            MessageIcon::Question, MsgBox::Buttons::YesNo)
               == MsgBox::Answer::Yes;
    }

private:
    QWidget* m_parent;
    QPointer<frmProgress> m_progress;
    QElapsedTimer m_sinceEvents;
    QElapsedTimer m_sinceStart;
    bool m_cancelled = false;
};

QString countsText(const UploadResult& r)
{
    QString text = u"送信 %1 ページ（%2）\n変更なし %3 ページ\n削除 %4 ページ\n失敗 %5 ページ\n時間 %6 秒"_s
                       .arg(r.sent)
                       .arg(sizeText(r.bytes))
                       .arg(r.unchanged)
                       .arg(r.deleted)
                       .arg(r.failed)
                       .arg(r.milliseconds / 1000.0, 0, 'f', 1);
    if (r.connections > 0)
        text += u"\n同時接続 %1"_s.arg(r.connections);
    if (!r.kept.isEmpty())
        text += u"\n\nサーバーに残したページ %1 ページ"_s.arg(r.kept.size());
    return text;
}

} // namespace

namespace UploadFlow {

bool IsUploading()
{
    return !activeProgress().isNull();
}

void RequestStop()
{
    if (activeProgress())
        activeProgress()->RequestStop();
}

void SetPasswordPrompt(PasswordPrompt prompt)
{
    passwordPrompt() = std::move(prompt);
}

std::optional<QString> AskPassword(QWidget* parent, const QString& prompt)
{
    if (passwordPrompt())
        return passwordPrompt()(prompt);
    qCInfo(lcMessage).noquote() << prompt;
    QInputDialog dialog(parent);
    dialog.setObjectName(u"dlgPassword"_s);
    dialog.setWindowTitle(u"Sorabi"_s);
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    // Qt's own texts would be English here.
    dialog.setOkButtonText(u"OK"_s);
    dialog.setCancelButtonText(u"キャンセル"_s);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString NewestOutputFolder(const QString& dataFolder)
{
    QStringList names = QDir(dataFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf([](const QString& name) { return !IsOutputFolderName(name); });
    return names.isEmpty() ? QString() : QDir(dataFolder).filePath(names.last());
}

bool AskTrust(QWidget* parent, UploadUi::KeyQuestion question, const QString& server,
              const QString& fingerprint)
{
    QString text;
    switch (question) {
    case UploadUi::KeyQuestion::NewCertificate:
        text = u"サーバー %1 の証明書は、信頼できる認証局の署名がありません。\n\n"
               "フィンガープリント（SHA-256）:\n%2\n\n"
               "サーバーの管理者が示すフィンガープリントと同じなら、「はい」でこの証明書を信頼して接続します。"
               "次回からは確かめません。"_s;
        break;
    case UploadUi::KeyQuestion::ChangedCertificate:
        text = u"サーバー %1 の証明書が、以前に信頼したものから変わっています。\n\n"
               "新しいフィンガープリント（SHA-256）:\n%2\n\n"
               "証明書の更新をサーバーの管理者に確かめた場合だけ、「はい」で新しい証明書を信頼してください。"_s;
        break;
    case UploadUi::KeyQuestion::NewHostKey:
        text = u"サーバー %1 に初めて接続します。\n\n"
               "ホスト鍵のフィンガープリント:\n%2\n\n"
               "サーバーの管理者が示すフィンガープリントと同じなら、「はい」でこのホスト鍵を信頼して接続します。"
               "次回からは確かめません。"_s;
        break;
    case UploadUi::KeyQuestion::ChangedHostKey:
        // Refused outright; the failure message says why.
        return false;
    }
    return MsgBox::Show(parent, text.arg(server, fingerprint), MessageIcon::Question,
                        MsgBox::Buttons::YesNo)
           == MsgBox::Answer::Yes;
}

bool HasPages(const QString& folder)
{
    return !QDir(folder).entryList({u"*.html"_s}, QDir::Files).isEmpty();
}

std::optional<QString> ChooseFolder(QWidget* parent, const QString& lastOutputFolder,
                                    const QString& dataFolder)
{
    QString folder = lastOutputFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = NewestOutputFolder(dataFolder);
    if (folder.isEmpty()) {
        MsgBox::Show(parent, u"アップロードするページがありません。先に「作成」でホームページを作成してください。"_s,
                     MessageIcon::Exclamation);
        return std::nullopt;
    }
    // The newest pages are what is usually meant; 参照 picks another folder,
    // and the question comes again with it, so the user always confirms
    // the folder that goes up.
    for (;;) {
        const MsgBox::Answer answer = MsgBox::Show(
            parent,
            u"次のフォルダのページをアップロードしますか？\n\n%1\n\n"
            "別のフォルダを選ぶときは「参照...」を押してください。"_s.arg(
                QDir::toNativeSeparators(folder)),
            MessageIcon::Question, MsgBox::Buttons::YesNoBrowse);
        if (answer == MsgBox::Answer::Yes)
            break;
        if (answer != MsgBox::Answer::Browse)
            return std::nullopt;
        const FileDialog::QtTextsInJapanese japanese;
        QFileDialog dialog(parent, u"アップロードするフォルダを選んでください。"_s);
        dialog.setObjectName(u"dlgUploadFolder"_s);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setDirectory(dataFolder);
        const std::optional<QString> chosen = FileDialog::Run(dialog);
        if (!chosen)
            continue;
        if (!HasPages(*chosen)) {
            MsgBox::Show(parent,
                         u"フォルダ「%1」には、アップロードするページ（.html ファイル）がありません。\n"
                         "「作成」でできた、日時の名前のフォルダを選んでください。"_s.arg(
                             QDir::toNativeSeparators(*chosen)),
                         MessageIcon::Exclamation);
            continue;
        }
        folder = *chosen;
    }
    return folder;
}

void Upload(QWidget* parent, const QString& iniPath, const QString& folder)
{
    UploadOptions options;
    QString failure;
    if (!UploadDestination::Load(iniPath, &options.destination, &failure)) {
        MsgBox::Show(parent, failure, MessageIcon::Exclamation);
        return;
    }
    const UploadDestination& d = options.destination;
    if (!d.HasHost()) {
        MsgBox::Show(parent,
                     u"アップロード先が設定されていません。オプションメニューの「アップロード設定...」で設定してください。"_s,
                     MessageIcon::Exclamation);
        return;
    }
    if (!PasswordStore::Read(d.CredentialEntry(), &options.password, &failure)) {
        const std::optional<QString> typed = AskPassword(
            parent, u"%1@%2 のパスワード:"_s.arg(d.user, d.host));
        if (!typed)
            return;
        options.password = *typed;
    }
    options.localFolder = folder;
    options.stateFolder = UploadDestination::StateFolder(iniPath);

    frmProgress progress(parent);
    progress.SetTitle(u"アップロード"_s);
    progress.UseWideMessage();
    progress.SetMessage(u"サーバーに接続しています..."_s);
    progress.Show();
    progress.ReDraw();
    activeProgress() = &progress;
    WindowUploadUi ui(parent, &progress);
    const UploadResult result = RunUpload(options, ui);
    activeProgress() = nullptr;
    progress.Close();

    switch (result.outcome) {
    case UploadOutcome::Completed: {
        QString text = u"アップロードが終わりました。\n\n"_s + countsText(result);
        if (!result.message.isEmpty())
            text += u"\n\n"_s + result.message;
        MsgBox::Show(parent, text, MessageIcon::Information);
        break;
    }
    case UploadOutcome::Cancelled:
        MsgBox::Show(parent, u"アップロードを中止しました。\n\n"_s + countsText(result),
                     MessageIcon::Information);
        break;
    case UploadOutcome::Failed:
        MsgBox::Show(parent, result.message + u"\n\n"_s + countsText(result), MessageIcon::Critical);
        break;
    }
}

} // namespace UploadFlow
