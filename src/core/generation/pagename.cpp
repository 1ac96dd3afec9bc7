#include "generation/pagename.h"

#include <QStringList>

using namespace Qt::StringLiterals;

bool IsSafePageFileName(const QString& fileName, QString* reason)
{
    auto refuse = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    for (QChar c : fileName) {
        const char16_t u = c.unicode();
        if (u == u'/' || u == u'\\')
            return refuse(u"ファイル名にフォルダの区切り（/ や \\）は使えません。"_s);
        if (u < 0x20 || u == 0x7F)
            return refuse(u"ファイル名に制御文字は使えません。"_s);
        if (QStringView(u"<>:\"|?*").contains(c))
            return refuse(u"ファイル名に使えない文字（%1）が含まれています。ファイル名には < > : \" | ? * を使えません。"_s
                              .arg(c));
    }
    const QString stem = fileName.endsWith(u".html"_s) ? fileName.chopped(5) : fileName;
    bool onlyDots = true;
    for (QChar c : stem)
        onlyDots = onlyDots && c == u'.';
    if (onlyDots)
        return refuse(u"商品IDが空か「.」だけなので、ファイル名になりません。"_s);
    const qsizetype dot = fileName.indexOf(u'.');
    const QStringView device = QStringView(fileName).first(dot < 0 ? fileName.size() : dot).trimmed();
    if (device.size() >= 3 && device.size() <= 7) {
        // Windows keeps these names for devices, with any extension.
        static const QStringList reserved = {u"CON"_s, u"PRN"_s, u"AUX"_s, u"NUL"_s,
                                             u"CONIN$"_s, u"CONOUT$"_s};
        const QString upper = device.toString().toUpper();
        const bool numbered = upper.size() == 4
                              && (upper.startsWith(u"COM"_s) || upper.startsWith(u"LPT"_s))
                              && ((upper[3] >= u'0' && upper[3] <= u'9') || upper[3] == u'¹'
                                  || upper[3] == u'²' || upper[3] == u'³');
        if (reserved.contains(upper) || numbered)
            return refuse(u"「%1」は Windows で予約された名前なので、ファイル名に使えません。"_s.arg(upper));
    }
    if (fileName.size() > 255 || (fileName.size() > 85 && fileName.toUtf8().size() > 255))
        return refuse(u"ファイル名が長すぎます（255 バイトまで）。"_s);
    return true;
}

QString PageNameKey(const QString& fileName)
{
    return fileName.toCaseFolded();
}
