#include "upload/uploadmessages.h"

#include "upload/uploadrun.h"

#include <QDir>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace {

// The desktop's message log (sorabi.message, as MsgBox writes it).
const QLoggingCategory& lcDetail()
{
    static const QLoggingCategory category("sorabi.message", QtWarningMsg);
    return category;
}

} // namespace

namespace UploadMessages {

QString Cancelled()
{
    return u"アップロードを中止しました。"_s;
}

QString Failure(const FailureFacts& facts)
{
    using F = RemoteSession::Failure;
    const UploadDestination& d = facts.destination;
    const QString& detail = facts.detail;
    const QString& fingerprint = facts.fingerprint;
    const QString& file = facts.file;
    const QString server = d.HostAndPort();
    // The library's own words (often English) go to the log, not into the
    // message: a message names what happened, in Japanese.
    if (!detail.isEmpty())
        qCInfo(lcDetail).noquote() << u"（サーバーまたは通信ライブラリの詳細: %1）"_s.arg(detail);
    switch (facts.failure) {
    case F::HostNotFound:
        return u"サーバー「%1」が見つかりません。ホスト名を確かめてください。"_s.arg(d.host);
    case F::Refused:
        return u"サーバー %1 に接続できません。ホスト名、ポート番号、プロトコルを確かめてください。"_s
            .arg(server);
    case F::Timeout:
        return u"サーバー %1 から応答がありません（タイムアウト）。"_s.arg(server);
    case F::Login:
        return u"サーバー %1 にログインできませんでした。ユーザー名とパスワードを確かめてください。"_s
            .arg(server);
    case F::NoTls:
        return u"サーバー %1 は暗号化された接続（FTPS）に対応していません。"_s.arg(server);
    case F::CertificateUntrusted:
        return u"サーバー %1 の証明書は信頼されていないため、接続を中止しました。\n"
               "フィンガープリント: %2\n"
               "サーバーの管理者が示すフィンガープリントと同じことを確かめてから信頼してください。"_s
            .arg(server, fingerprint);
    case F::CertificateChanged:
        return u"サーバー %1 の証明書が、以前に信頼したものから変わっているため、接続を中止しました。\n"
               "新しいフィンガープリント: %2\n"
               "証明書の更新をサーバーの管理者に確かめてから信頼してください。"_s
            .arg(server, fingerprint);
    case F::HostKeyUnknown:
        return u"サーバー %1 のホスト鍵はまだ信頼されていないため、接続を中止しました。\n"
               "フィンガープリント: %2\n"
               "サーバーの管理者が示すフィンガープリントと同じことを確かめてから信頼してください。"_s
            .arg(server, fingerprint);
    case F::HostKeyChanged:
        return u"警告: サーバー %1 のホスト鍵が、以前に信頼したものから変わっています。"
               "別のサーバーがなりすましているおそれがあるため、接続を中止しました。\n"
               "新しいフィンガープリント: %2"_s
            .arg(server, fingerprint);
    case F::FolderMissing:
        return u"リモートフォルダ「%1」を開けません。リモートフォルダの名前と、そこに入れるかを確かめてください。"_s
            .arg(d.folder);
    case F::AccessDenied:
        return u"サーバーが「%1」の書き込みを拒否しました。リモートフォルダ「%2」に書き込めるか確かめてください。"_s
            .arg(file, d.folder);
    case F::DiskFull:
        return u"サーバーが「%1」を保存できませんでした。サーバーのディスクの空きと、契約している容量の上限を確かめてください。"_s
            .arg(file);
    case F::ConnectionLost:
        // The connection test and the listing send no page.
        if (file.isEmpty())
            return u"サーバー %1 との接続が途中で切れました。少し待ってから、もう一度試してください。"_s.arg(server);
        return u"「%1」を送っている途中で、サーバー %2 との接続が切れました。"_s.arg(file, server);
    case F::Cancelled:
        return Cancelled();
    case F::None:
    case F::Other:
        break;
    }
    return u"アップロードに失敗しました。\n（%1）"_s.arg(detail);
}

QString NoHost()
{
    return u"アップロード先のサーバー（ホスト名）が設定されていません。"_s;
}

QString FolderNotSendable(const QString& remoteFolder)
{
    return u"リモートフォルダ「%1」には使えない文字が含まれています。"_s.arg(remoteFolder);
}

QString LocalFolderMissing(const QString& folder)
{
    return u"フォルダ「%1」が見つかりません。"_s.arg(QDir::toNativeSeparators(folder));
}

QString NameNotSendable(const QString& name)
{
    return u"ファイル名「%1」はサーバーに送れません。"_s.arg(name);
}

QString Unreadable(const QString& path)
{
    return u"ファイル「%1」を読めません。"_s.arg(QDir::toNativeSeparators(path));
}

QString ManifestNotSaved(const QString& manifestPath)
{
    return u"ページは送りましたが、送った内容の記録（%1）を保存できませんでした。"
           "次回はすべてのページをもう一度送ります。"_s
        .arg(QDir::toNativeSeparators(manifestPath));
}

QString PagesNotSent(int failed)
{
    return u"\n%1 ページを送れませんでした。もう一度アップロードすると、送れなかったページだけを送ります。"_s
        .arg(failed);
}

QString NotRemoved(const QStringList& kept, const QString& detail)
{
    return u"サーバーから削除できなかったページがあります: %1\n（%2）"_s.arg(kept.join(u"、"_s), detail);
}

QString PlanCounts(const UploadPlan& plan)
{
    return u"新規 %1 ページ\n変更 %2 ページ\n変更なし %3 ページ\n削除 %4 ページ"_s
        .arg(plan.added.size())
        .arg(plan.changed.size())
        .arg(plan.unchanged)
        .arg(plan.removed.size());
}

} // namespace UploadMessages
