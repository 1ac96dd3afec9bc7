#include "base/textcodec.h"
#include "settings/basinifile.h"
#include "settings/clsoption.h"
#include "settings/optionsource.h"
#include "testdata.h"
#include "testutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QStringList valuesOf(const clsOption& o)
{
    return {o.HeaderImage(), o.SiteName(), o.CatchCopy1(), o.CatchCopy2(),
            o.CatchCopy3(),  o.ShopID(),   o.SiteMaster(), o.Tax()};
}

void setAll(clsOption& o, const QStringList& v)
{
    o.SetHeaderImage(v[0]);
    o.SetSiteName(v[1]);
    o.SetCatchCopy1(v[2]);
    o.SetCatchCopy2(v[3]);
    o.SetCatchCopy3(v[4]);
    o.SetShopID(v[5]);
    o.SetSiteMaster(v[6]);
    o.SetTax(v[7]);
}

// Edited by hand: other order, extra keys and sections, quotes, blanks,
// comments, a duplicate key and section, no CATCHCOPY3 and no final break.
const QByteArray kHandEdited = "; shop settings\r\n"
                               "[GLOBAL]\r\n"
                               "TAX=99\r\n"
                               "\r\n"
                               "[ OPTION ]  ; main\r\n"
                               "TAX = 10\n"
                               "SiteName=  \"Sorabi Shop\"  \n"
                               ";SHOPID=commented\r"
                               "SHOPID=\t'abc' \r"
                               "HeaderImage=7\r\n"
                               "catchcopy1=one\r\n"
                               "CATCHCOPY1=ignored\r\n"
                               "EXTRA=kept\r\n"
                               "CATCHCOPY2=\"two'\r\n"
                               "SITEMASTER=\x8E\x52\x93\x63\r\n"
                               "\r\n"
                               "[OPTION]\r\n"
                               "CATCHCOPY3=second section\r\n"
                               "[LAST]\r\n"
                               "A=1"_ba;

} // namespace

class TestOption : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    // Editors save UTF-8, with or without a byte-order mark; real Shift_JIS
    // must never be taken for it. A save keeps the file's encoding.
    void fileEncoding_data()
    {
        QTest::addColumn<QByteArray>("bom");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("Shift_JIS") << QByteArray() << false;
        QTest::newRow("UTF-8") << QByteArray() << true;
        QTest::newRow("UTF-8 with byte-order mark") << "\xEF\xBB\xBF"_ba << true;
    }
    void fileEncoding()
    {
        QFETCH(QByteArray, bom);
        QFETCH(bool, utf8);
        const QString site = u"革小物の店 そらび ～①㈱髙"_s;
        const QString file = m_dir.filePath(u"option.ini"_s);
        const QByteArray siteBytes = utf8 ? site.toUtf8() : TextCodec::EncodeShiftJis(site);
        QVERIFY(TestUtil::writeFile(file, bom + "[OPTION]\r\nSITENAME=" + siteBytes + "\r\nTAX=8\r\n"));

        clsOption option(file);
        option.GetOptionIniValue();
        QCOMPARE(option.SiteName(), site);
        QCOMPARE(option.Tax(), u"8"_s);
        QCOMPARE(clsOption::ReadRawValues(file)[1], TextCodec::EncodeShiftJis(site));

        const QString copy = utf8 ? u"送料無料🎁"_s : u"送料無料"_s;
        option.SetCatchCopy1(copy);
        QVERIFY(option.SetOptionIniValue());
        const QByteArray saved = TestUtil::readFile(file);
        QVERIFY(saved.startsWith(QByteArray(bom + "[OPTION]")));
        QCOMPARE(basIniFile::FileEncoding(saved), utf8 ? TextEncoding::Utf8 : TextEncoding::ShiftJis);
        QVERIFY(saved.contains(siteBytes));
        clsOption again(file);
        again.GetOptionIniValue();
        QCOMPARE(again.CatchCopy1(), copy);
        // Pages are Shift_JIS: what it cannot hold is a character reference.
        QCOMPARE(TextCodec::DecodeShiftJis(clsOption::ReadRawValues(file)[2]),
                 utf8 ? u"送料無料&#x1F381;"_s : copy);
    }

    void constructionReadsNothing()
    {
        const QString file = path(u"filled.ini"_s);
        QVERIFY(TestUtil::writeFile(file, kHandEdited));
        const clsOption option(file);
        QCOMPARE(valuesOf(option), QStringList(8));
        QVERIFY(option.IsIniFileExists());
        QVERIFY(!clsOption(path(u"missing.ini"_s)).IsIniFileExists());
        QVERIFY(!clsOption(m_dir.path()).IsIniFileExists());
        QVERIFY(!QFile::exists(path(u"missing.ini"_s)));
    }

    void defaultPathIsInWorkingFolder()
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        clsOption option;
        option.SetTax(u"8"_s);
        const bool saved = option.SetOptionIniValue();
        const bool exists = QFile::exists(path(u"option.ini"_s));
        QDir::setCurrent(before);
        QVERIFY(saved);
        QVERIFY(exists);
    }

    void loadHandEdited_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("as edited") << kHandEdited;
        QTest::newRow("LF only")
            << QByteArray(kHandEdited).replace("\r\n", "\n").replace('\r', '\n');
        QTest::newRow("CR only")
            << QByteArray(kHandEdited).replace("\r\n", "\r").replace('\n', '\r');
    }
    void loadHandEdited()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path(u"hand.ini"_s);
        QVERIFY(TestUtil::writeFile(file, bytes));
        clsOption option(file);
        setAll(option, QStringList(8, u"old"_s));
        option.GetOptionIniValue();
        const QStringList expected{u"7"_s,    u"Sorabi Shop"_s, u"one"_s,  u"\"two'"_s,
                                   QString(), u"abc"_s,         u"山田"_s, u"10"_s};
        QCOMPARE(valuesOf(option), expected);

        const auto raw = clsOption::ReadRawValues(file);
        for (int i = 0; i < clsOption::KeyCount; ++i)
            QCOMPARE(raw[size_t(i)], TextCodec::EncodeShiftJis(expected[i]));
    }

    void loadOverwritesEveryValue_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QString>("siteName");
        QTest::newRow("no file") << QByteArray() << false << QString();
        QTest::newRow("folder") << QByteArray() << true << QString();
        QTest::newRow("garbage") << "\x00\xFF[\x81=\r"_ba << false << QString();
        QTest::newRow("no TAX") << "[OPTION]\r\nSITENAME=x\r\n"_ba << false << u"x"_s;
    }
    void loadOverwritesEveryValue()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, isFolder);
        QFETCH(QString, siteName);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"option.ini"_s);
        if (isFolder)
            QVERIFY(QDir(dir.path()).mkdir(u"option.ini"_s));
        else if (!bytes.isEmpty())
            QVERIFY(TestUtil::writeFile(file, bytes));
        clsOption option(file);
        setAll(option, QStringList(8, u"old"_s));
        option.GetOptionIniValue();
        QStringList expected(8);
        expected[1] = siteName;
        QCOMPARE(valuesOf(option), expected);
        QCOMPARE(clsOption::ReadRawValues(file)[1], TextCodec::EncodeShiftJis(siteName));
    }

    void newFileLayout()
    {
        const QString file = path(u"new.ini"_s);
        clsOption option(file);
        setAll(option, {u"0"_s, u"店"_s, u"a"_s, u""_s, u"c"_s, u"id"_s, u"m"_s, u"-3"_s});
        QVERIFY(option.SetOptionIniValue());
        QCOMPARE(TestUtil::readFile(file), "[OPTION]\r\nHEADERIMAGE=0\r\nSITENAME=\x93\x58\r\n"
                                  "CATCHCOPY1=a\r\nCATCHCOPY2=\r\nCATCHCOPY3=c\r\nSHOPID=id\r\n"
                                  "SITEMASTER=m\r\nTAX=-3\r\n"_ba);
    }

    void saveIntoHandEdited()
    {
        const QString file = path(u"save.ini"_s);
        QVERIFY(TestUtil::writeFile(file, kHandEdited));
        clsOption option(file);
        setAll(option, {u"8"_s, u"S"_s, u"c1"_s, u"c2"_s, u"c3"_s, u"id"_s, u"M"_s, u"5"_s});
        QVERIFY(option.SetOptionIniValue());
        QCOMPARE(TestUtil::readFile(file), "; shop settings\r\n"
                                  "[GLOBAL]\r\n"
                                  "TAX=99\r\n"
                                  "\r\n"
                                  "[ OPTION ]  ; main\r\n"
                                  "TAX=5\n"
                                  "SiteName=S\n"
                                  ";SHOPID=commented\r"
                                  "SHOPID=id\r"
                                  "HeaderImage=8\r\n"
                                  "catchcopy1=c1\r\n"
                                  "CATCHCOPY1=ignored\r\n"
                                  "EXTRA=kept\r\n"
                                  "CATCHCOPY2=c2\r\n"
                                  "SITEMASTER=M\r\n"
                                  "CATCHCOPY3=c3\r\n"
                                  "\r\n"
                                  "[OPTION]\r\n"
                                  "CATCHCOPY3=second section\r\n"
                                  "[LAST]\r\n"
                                  "A=1"_ba);
    }

    void oneReplacementEqualsEightWrites_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("no file") << false << QByteArray();
        QTest::newRow("empty file") << true << QByteArray();
        QTest::newRow("hand edited") << true << kHandEdited;
        QTest::newRow("other section, no break") << true << "[A]\rX=1"_ba;
        QTest::newRow("bare header") << true << "[option]"_ba;
    }
    void oneReplacementEqualsEightWrites()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QTemporaryDir dir;
        const QString batch = dir.filePath(u"batch.ini"_s);
        const QString single = dir.filePath(u"single.ini"_s);
        if (exists) {
            QVERIFY(TestUtil::writeFile(batch, before));
            QVERIFY(TestUtil::writeFile(single, before));
        }
        const QStringList values{u"1"_s,    u"名"_s,   u" a "_s, u"\"b\""_s,
                                 u"x\ny"_s, QString(), u"😀"_s,   u"10"_s};
        clsOption option(batch);
        setAll(option, values);
        QVERIFY(option.SetOptionIniValue());
        for (int i = 0; i < clsOption::KeyCount; ++i) {
            QVERIFY(basIniFile::SetIniValue(
                u"OPTION"_s, QString::fromLatin1(clsOption::Keys()[size_t(i)]), values[i], single));
        }
        QCOMPARE(TestUtil::readFile(batch), TestUtil::readFile(single));
    }

    void roundTrip()
    {
        const QString file = path(u"roundtrip.ini"_s);
        const QStringList saved{u"99"_s,
                                u"ソラビ 本店 "_s,
                                u"あ"_s.repeated(200),
                                u"一\r\n二\r三"_s,
                                u"TAX=1\nSHOPID=x"_s,
                                u"店😀"_s,
                                QString(),
                                u"-12"_s};
        clsOption out(file);
        setAll(out, saved);
        QVERIFY(out.SetOptionIniValue());
        QCOMPARE(TestUtil::readFile(file).count('\n'), 9);

        clsOption in(file);
        in.GetOptionIniValue();
        const QStringList expected{u"99"_s,
                                   u"ソラビ 本店"_s,
                                   u"あ"_s.repeated(200),
                                   u"一 二 三"_s,
                                   u"TAX=1 SHOPID=x"_s,
                                   u"店?"_s,
                                   QString(),
                                   u"-12"_s};
        QCOMPARE(valuesOf(in), expected);
        QCOMPARE(clsOption::ReadRawValues(file)[2].size(), 400);
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("target is a folder") << u"folder.ini"_s;
        QTest::newRow("no room for the new file") << QString(250, u'n');
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"folder.ini/inside"_s));
        const QString file = dir.filePath(name);
        if (!QFileInfo(file).isDir())
            QVERIFY(TestUtil::writeFile(file, kHandEdited));
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        clsOption option(file);
        option.SetTax(u"5"_s);
        QVERIFY(!option.SetOptionIniValue());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 before);
        if (QFileInfo(file).isDir())
            QCOMPARE(QDir(file).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     QStringList{u"inside"_s});
        else
            QCOMPARE(TestUtil::readFile(file), kHandEdited);
    }

    // The settings are read again only when the file may have changed; no
    // kind of change may go unseen, however it keeps size and time.
    void optionSourceSeesChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("edited, other size") << u"edit"_s;
        QTest::newRow("rewritten in place, same size and time") << u"in place"_s;
        QTest::newRow("replaced by a copy with the same size and time") << u"replace"_s;
        QTest::newRow("saved by this program") << u"save"_s;
        QTest::newRow("removed") << u"remove"_s;
    }
    void optionSourceSeesChanges()
    {
        QFETCH(QString, change);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"option.ini"_s);
        QVERIFY(TestUtil::writeFile(ini, TestData::settingsFile({u"1"_s, u"店A"_s})));
        OptionSource source(ini);
        QCOMPARE(source.Read()[1], TextCodec::EncodeShiftJis(u"店A"_s));
        QCOMPARE(source.Read()[1], TextCodec::EncodeShiftJis(u"店A"_s)); // kept

        const QDateTime time = QFileInfo(ini).lastModified();
        auto keepTime = [&](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite)
                   && file.setFileTime(time, QFileDevice::FileModificationTime);
        };
        QByteArray expected = TextCodec::EncodeShiftJis(u"店B"_s);
        if (change == u"edit") {
            QVERIFY(TestUtil::writeFile(ini, TestData::settingsFile({u"1"_s, u"別の店"_s})));
            expected = TextCodec::EncodeShiftJis(u"別の店"_s);
        } else if (change == u"in place") {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray bytes = TestData::settingsFile({u"1"_s, u"店B"_s});
            QCOMPARE(bytes.size(), file.size());
            QVERIFY(file.write(bytes) == bytes.size());
            file.close();
            QVERIFY(keepTime(ini));
        } else if (change == u"replace") {
            const QString copy = dir.filePath(u"copy.ini"_s);
            QVERIFY(TestUtil::writeFile(copy, TestData::settingsFile({u"1"_s, u"店B"_s})));
            QVERIFY(keepTime(copy));
            QVERIFY(std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(ini).constData()) == 0);
        } else if (change == u"save") {
            QVERIFY(basIniFile::SetIniValue(u"OPTION"_s, u"SITENAME"_s, u"店B"_s, ini));
            QVERIFY(keepTime(ini));
        } else {
            QVERIFY(QFile::remove(ini));
            expected.clear();
        }
        if (change != u"edit" && change != u"remove")
            QCOMPARE(QFileInfo(ini).lastModified(), time);
        QCOMPARE(source.Read()[1], expected);
    }
};

QTEST_GUILESS_MAIN(TestOption)
#include "tst_option.moc"
