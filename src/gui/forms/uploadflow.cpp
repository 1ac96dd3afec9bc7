#include "forms/uploadflow.h"

#include "forms/frmprogress.h"
#include "generation/generationrun.h"
#include "upload/passwordstore.h"
#include "upload/uploadmessages.h"
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

// The summary before anything is sent: what the upload will change.
QString planQuestion(const UploadPlan& plan)
{
    QString text = u"サーバーのページと比べました。アップロードすると次のようになります。\n\n"_s
                   + UploadMessages::PlanCounts(plan);
    if (!plan.added.isEmpty() || !plan.changed.isEmpty())
        text += u"\n\n送るのは %1 ページ（%2）です。"_s.arg(plan.added.size() + plan.changed.size())
                    .arg(sizeText(plan.bytes));
    else
        text += u"\n\n送るページはありません。"_s;
    if (!plan.removed.isEmpty())
        text += u"\n削除の %1 ページは、サーバーにあってこのフォルダにないページです。"
                "削除するかどうかは、送ったあとで確かめます。"_s.arg(plan.removed.size());
    text += u"\n\nページの名前は「詳細を表示」にあります。「キャンセル」を押すと何も送りません。"_s;
    return text;
}

// The names behind the summary's details button.
QString planDetails(const UploadPlan& plan)
{
    // A list past this is more than anyone reads, and slow to lay out.
    constexpr int Shown = 1000;
    QStringList parts;
    const auto section = [&](const QString& heading, const QStringList& names) {
        if (names.isEmpty())
            return;
        QString part = heading.arg(names.size()) + u'\n' + names.mid(0, Shown).join(u'\n');
        if (names.size() > Shown)
            part += u"\nほか %1 ページ"_s.arg(names.size() - Shown);
        parts.append(part);
    };
    section(u"削除（%1 ページ）:"_s, plan.removed);
    section(u"新規（%1 ページ）:"_s, plan.added);
    section(u"変更（%1 ページ）:"_s, plan.changed);
    return parts.join(u"\n\n"_s);
}

// Answers the upload with windows. The upload runs on this thread; each
// time it asks whether to stop, pending window events run, as during a
// generation run.
class WindowUploadUi : public UploadUi
{
public:
    WindowUploadUi(QWidget* parent, frmProgress* progress, int kept)
        : m_parent(parent), m_progress(progress), m_kept(kept)
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

    bool ConfirmPlan(const UploadPlan& plan) override
    {
        // Nothing to change: nothing to decide; the result says so.
        if (plan.IsEmpty())
            return true;
        m_planDeclined = MsgBox::Show(m_parent, planQuestion(plan),
                                      MessageIcon::Question, MsgBox::Buttons::SendCancel,
                                      planDetails(plan))
                         != MsgBox::Answer::Yes;
        return !m_planDeclined;
    }

    bool PlanDeclined() const { return m_planDeclined; }

    bool ConfirmRemoval(const QStringList& names) override
    {
        constexpr int Shown = 20;
        QString list = names.mid(0, Shown).join(u'\n');
        if (names.size() > Shown)
            list += u"\nほか %1 ページ"_s.arg(names.size() - Shown);
        return MsgBox::Show(m_parent, UploadFlow::RemovalQuestion(names.size(), m_kept, list),
                            MessageIcon::Question, MsgBox::Buttons::YesNo)
               == MsgBox::Answer::Yes;
    }

private:
    QWidget* m_parent;
    QPointer<frmProgress> m_progress;
    int m_kept; // the pages of the folder, which the server keeps
    QElapsedTimer m_sinceEvents;
    QElapsedTimer m_sinceStart;
    bool m_cancelled = false;
    bool m_planDeclined = false;
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

// The counts, only when something was attempted: a connection that failed
// sent nothing, and "失敗 0 ページ" would say otherwise.
QString attemptedCounts(const UploadResult& r)
{
    if (r.sent + r.unchanged + r.deleted + r.failed == 0 && r.kept.isEmpty())
        return {};
    return u"\n\n"_s + countsText(r);
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
        // As ssh does, never trusted in passing: the warning comes first, and
        // only a user who has checked with the administrator goes on (as
        // sorabi-batch's --trust with the fingerprint). いいえ is the default.
        return MsgBox::Show(
                   parent,
                   u"警告: サーバー %1 のホスト鍵が、以前に信頼したものから変わっています。"
                   "別のサーバーがなりすましているおそれがあります。\n\n"
                   "新しいホスト鍵のフィンガープリント:\n%2\n\n"
                   "このまま「いいえ」を押すと、接続を中止します。\n"
                   "サーバーの管理者にホスト鍵を変更したことを確かめ、管理者が示すフィンガープリントが"
                   "上と同じだった場合だけ、「はい」で以前のホスト鍵を忘れ、新しいホスト鍵を信頼してください。\n\n"
                   "新しいホスト鍵を信頼しますか？"_s.arg(server, fingerprint),
                   MessageIcon::Exclamation, MsgBox::Buttons::YesNo)
               == MsgBox::Answer::Yes;
    }
    return MsgBox::Show(parent, text.arg(server, fingerprint), MessageIcon::Question,
                        MsgBox::Buttons::YesNo)
           == MsgBox::Answer::Yes;
}

int PageCount(const QString& folder)
{
    return int(QDir(folder).entryList({u"*.html"_s}, QDir::Files).size());
}

QString RemovalQuestion(int removed, int kept, const QString& names)
{
    return u"前回までにアップロードしたページのうち %1 ページは、このフォルダにはもうありません。\n"
           "削除すると、サーバーに残るのはこのフォルダの %2 ページで、次の %1 ページがなくなります。\n\n"
           "%3\n\nサーバーから削除しますか？"_s.arg(removed).arg(kept).arg(names);
}

bool HasPages(const QString& folder)
{
    return !QDir(folder).entryList({u"*.html"_s}, QDir::Files).isEmpty();
}

std::optional<QString> ChooseFolder(QWidget* parent, const QString& lastOutputFolder,
                                    const QString& dataFolder)
{
    QString newest = lastOutputFolder;
    if (newest.isEmpty() || !QFileInfo(newest).isDir())
        newest = NewestOutputFolder(dataFolder);
    // A run that stopped or was cancelled left only some of the pages: never
    // offered by default (uploading it would offer to remove the rest from
    // the server), only named, so that the user knows what it is.
    QString folder = newest;
    QString unfinishedNewest;
    if (!newest.isEmpty()) {
        const OutputFolderState state = ReadOutputFolderState(newest);
        if (!state.finished) {
            unfinishedNewest = u"新しいフォルダ「%1」は作成が途中で止まったものです%2。"
                               "すべての商品のページはありません。\n\n"_s.arg(
                                   QDir::toNativeSeparators(newest), UnfinishedFolderText(state));
            folder = NewestOutputFolder(dataFolder, true);
        }
    }
    // The newest finished pages are what is usually meant; 参照 picks
    // another folder (pages may have been made by sorabi-batch elsewhere),
    // and the question comes again with it, so the user always confirms
    // the folder that goes up.
    for (;;) {
        MsgBox::Answer answer;
        if (folder.isEmpty()) {
            answer = MsgBox::Show(
                parent,
                unfinishedNewest
                    + u"アップロードするページのフォルダがありません。先に「作成」でホームページを作成するか、"
                      "ほかの場所で作成したページのフォルダを「参照...」で選んでください。"_s,
                MessageIcon::Question, MsgBox::Buttons::BrowseCancel);
        } else {
            const OutputFolderState state = ReadOutputFolderState(folder);
            QString text = folder == newest ? QString() : unfinishedNewest;
            if (!state.finished)
                text += u"注意: このフォルダは作成が途中で止まったものです%1。すべての商品のページはありません。\n\n"_s
                            .arg(UnfinishedFolderText(state));
            text += u"次のフォルダのページをアップロードしますか？\n\n%1\n\n"
                    "別のフォルダを選ぶときは「参照...」を押してください。"_s.arg(
                        QDir::toNativeSeparators(folder));
            answer = MsgBox::Show(parent, text, MessageIcon::Question, MsgBox::Buttons::YesNoBrowse);
        }
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
    WindowUploadUi ui(parent, &progress, PageCount(folder));
    const UploadResult result = RunUpload(options, ui);
    activeProgress() = nullptr;
    progress.Close();
    if (ui.PlanDeclined())
        return; // the user has just said so; nothing happened to tell

    switch (result.outcome) {
    case UploadOutcome::Completed: {
        const bool nothingChanged = result.sent + result.deleted + result.failed == 0
                                    && result.kept.isEmpty();
        QString text = nothingChanged
                           ? u"アップロードが終わりました。サーバーのページはこのフォルダと同じで、送るページはありませんでした。\n\n"_s
                           : u"アップロードが終わりました。\n\n"_s;
        text += countsText(result);
        if (!result.message.isEmpty())
            text += u"\n\n"_s + result.message;
        MsgBox::Show(parent, text, MessageIcon::Information);
        break;
    }
    case UploadOutcome::Cancelled:
        MsgBox::Show(parent, u"アップロードを中止しました。"_s + attemptedCounts(result),
                     MessageIcon::Information);
        break;
    case UploadOutcome::Failed:
        MsgBox::Show(parent, result.message + attemptedCounts(result), MessageIcon::Critical);
        break;
    }
}

} // namespace UploadFlow
