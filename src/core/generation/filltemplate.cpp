#include "generation/filltemplate.h"

#include "generation/bascsv.h"
#include "generation/pagefiller.h"
#include "generation/pagename.h"
#include "generation/runui.h"

using namespace Qt::StringLiterals;

QString LineLabel(qsizetype lineNumber, const QString& articleId)
{
    QString label = u"%1 行目"_s.arg(lineNumber);
    if (!articleId.isEmpty())
        label += u"（商品ID「%1」）"_s.arg(articleId.size() > 40 ? articleId.left(40) + u'…'
                                                               : articleId);
    return label;
}

bool FillTemplate(RunUi& ui, PageFiller& filler, QByteArrayView line, TextEncoding encoding,
                  const OptionValues& options, qsizetype lineNumber, FilledPage& page)
{
    QString failure;
    bool ok = filler.Fill(line, encoding, options, page, failure);
    if (ok && !IsSafePageFileName(page.fileName, &failure))
        ok = false;
    if (ok)
        return true;
    page.text.clear();
    if (basCsv::HasUnclosedQuote(line))
        failure += u"\r\n\r\nこの行には閉じられていない引用符（\" または '）があります。セルの中に改行があると、1 つの商品が 2 行に分かれてしまいます。表計算ソフトでセルの中の改行を取り除いてから、CSVファイルを保存し直してください。"_s;
    QString text = failure;
    if (lineNumber > 0)
        text = LineLabel(lineNumber, page.articleId) + u"のページを作成できませんでした。\r\n\r\n"_s
               + failure;
    ui.ShowMessage(text, MessageIcon::Critical);
    return false;
}

bool FillTemplate(RunUi& ui, const QString& line, const QString& iniPath, QString& rstrFileName,
                  QString& rstrPage)
{
    PageFiller filler;
    OptionSource options(iniPath);
    FilledPage page;
    const QByteArray bytes = line.toUtf8();
    if (!FillTemplate(ui, filler, bytes, TextEncoding::Utf8, options.Read(), 0, page))
        return false;
    rstrFileName = page.fileName;
    rstrPage = QString::fromUtf8(page.text);
    return true;
}
