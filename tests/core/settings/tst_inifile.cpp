#include "base/textcodec.h"
#include "settings/basinifile.h"
#include "testutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestIniFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void readFromBytes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("found");
        const auto row = [](const char* name, const QByteArray& file, const QByteArray& key,
                            const QByteArray& expected, bool found = true) {
            QTest::newRow(name) << file << key << expected << found;
        };
        row("plain", "[OPTION]\r\nKEY=v\r\n", "KEY", "v");
        row("names ignore case", "[option]\r\nSiteName=v\r\n", "SITENAME", "v");
        row("blanks around everything", "  [ OPTION ]\r\n\t KEY \t= \t v x \t\r\n", "KEY", "v x");
        row("text after ] ignored", "[OPTION] ; main\r\nKEY=v\r\n", "KEY", "v");
        // Without "]" a line is no header: the keys below stay in the section above.
        row("header without ]", "[OPTION\r\nKEY=v\r\n", "KEY", "", false);
        row("keys under a header without ]", "[OPTION]\r\n[OTHER\r\nKEY=v\r\n", "KEY", "v");
        row("end-of-file mark after the last value", "[OPTION]\r\nKEY=v\x1A", "KEY", "v");
        row("UTF-8 byte-order mark before the header", "\xEF\xBB\xBF[OPTION]\r\nKEY=v\r\n", "KEY", "v");
        row("double quotes", "[OPTION]\r\nKEY= \"a b\" \r\n", "KEY", "a b");
        row("single quotes", "[OPTION]\r\nKEY='a b'\r\n", "KEY", "a b");
        row("blanks inside quotes kept", "[OPTION]\r\nKEY=\" a \"\r\n", "KEY", " a ");
        row("mismatched quotes", "[OPTION]\r\nKEY=\"abc'\r\n", "KEY", "\"abc'");
        row("one quote", "[OPTION]\r\nKEY=\"\r\n", "KEY", "\"");
        row("quote at one end", "[OPTION]\r\nKEY=\"abc\r\n", "KEY", "\"abc");
        row("only one pair removed", "[OPTION]\r\nKEY=\"\"a\"\"\r\n", "KEY", "\"a\"");
        row("equals in value", "[OPTION]\r\nKEY=a=b\r\n", "KEY", "a=b");
        row("empty value", "[OPTION]\r\nKEY=\r\n", "KEY", "");
        row("first section wins", "[OPTION]\r\nA=1\r\n[OPTION]\r\nKEY=2\r\n", "KEY", "", false);
        row("first key wins", "[OPTION]\r\nkey=1\r\nKEY=2\r\n", "KEY", "1");
        row("other section", "[OTHER]\r\nKEY=1\r\n[OPTION]\r\nKEY=2\r\n", "KEY", "2");
        row("key of next section", "[OPTION]\r\n[OTHER]\r\nKEY=1\r\n", "KEY", "", false);
        row("line without =", "[OPTION]\r\nKEY\r\nKEY=2\r\n", "KEY", "2");
        row("comment", "[OPTION]\r\n;KEY=1\r\n  ;KEY=2\r\nKEY=3\r\n", "KEY", "3");
        row("before any section", "KEY=1\r\n[OPTION]\r\n", "KEY", "", false);
        row("LF lines", "[OPTION]\nA=1\nKEY=v\n", "KEY", "v");
        row("CR lines", "[OPTION]\rA=1\rKEY=v\r", "KEY", "v");
        row("LF CR is two breaks", "[OPTION]\n\rKEY=v\n\r", "KEY", "v");
        row("last line without break", "[OPTION]\r\nKEY=v", "KEY", "v");
        row("NUL bytes", "[OPTION]\r\nKEY=a\0b\r\n"_ba, "KEY", "a\0b"_ba);
        row("Shift_JIS value", "[OPTION]\r\nKEY=\x83\x5C\x83\x74\x83\x67\r\n", "KEY",
            "\x83\x5C\x83\x74\x83\x67");
        row("empty file", "", "KEY", "", false);
        row("empty key asked", "[OPTION]\r\n=v\r\n", " ", "", false);
    }
    void readFromBytes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        QFETCH(bool, found);
        bool wasFound = !found;
        QCOMPARE(basIniFile::GetIniValueFromBytes(file, "OPTION", key, &wasFound), expected);
        QCOMPARE(wasFound, found);
    }

    void writeToBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, const QByteArray& before, const QByteArray& key,
                            const QByteArray& value, const QByteArray& after) {
            QTest::newRow(name) << before << key << value << after;
        };
        row("new file", "", "KEY", "v", "[OPTION]\r\nKEY=v\r\n");
        row("replace keeps spelling and break", ";c\n[ option ]\n  SiteName = old \nX=1\n",
            "SITENAME", "new", ";c\n[ option ]\nSiteName=new\nX=1\n");
        row("replace CR line", "[OPTION]\rKEY=old\rX=1", "KEY", "v", "[OPTION]\rKEY=v\rX=1");
        row("replace last line without break", "[OPTION]\r\nKEY=old", "KEY", "v",
            "[OPTION]\r\nKEY=v");
        row("replace first of duplicates", "[OPTION]\r\nKEY=1\r\n[OPTION]\r\nKEY=2\r\n", "KEY", "v",
            "[OPTION]\r\nKEY=v\r\n[OPTION]\r\nKEY=2\r\n");
        row("replace first key only", "[OPTION]\r\nKEY=1\r\nKEY=2\r\n", "KEY", "v",
            "[OPTION]\r\nKEY=v\r\nKEY=2\r\n");
        row("missing key before trailing blanks", "[OPTION]\nA=1\n;c\n\n \n[B]\nKEY=x\n", "KEY",
            "v", "[OPTION]\nA=1\n;c\nKEY=v\r\n\n \n[B]\nKEY=x\n");
        row("missing key under bare header", "[OPTION]", "KEY", "v", "[OPTION]\r\nKEY=v\r\n");
        row("missing key at end without break", "[OPTION]\nA=1", "KEY", "v",
            "[OPTION]\nA=1\r\nKEY=v\r\n");
        row("missing section appended", "[A]\nX=1\n\n", "KEY", "v",
            "[A]\nX=1\n\n[OPTION]\r\nKEY=v\r\n");
        row("missing section, no final break", "[A]\rX=1", "KEY", "v",
            "[A]\rX=1\r\n[OPTION]\r\nKEY=v\r\n");
        row("empty value", "[OPTION]\r\nKEY=old\r\n", "KEY", "", "[OPTION]\r\nKEY=\r\n");
        row("line breaks become blanks", "", "KEY", "a\r\nb\rc\nd\n\re",
            "[OPTION]\r\nKEY=a b c d  e\r\n");
        row("no smuggled key", "[OPTION]\r\nTAX=8\r\n", "KEY", "x\r\nTAX=99",
            "[OPTION]\r\nTAX=8\r\nKEY=x TAX=99\r\n");
        row("key with = refused", "[OPTION]\r\n", "A=B", "v", "[OPTION]\r\n");
        row("key with break refused", "[OPTION]\r\n", "A\nB", "v", "[OPTION]\r\n");
        row("empty key refused", "[OPTION]\r\n", " ", "v", "[OPTION]\r\n");
    }
    void writeToBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        QCOMPARE(basIniFile::SetIniValueInBytes(before, "OPTION", key, value), after);
    }

    void roundTripOnDisk_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("ascii") << u"abc"_s << u"abc"_s;
        QTest::newRow("Japanese") << u"ソフト販売・ネット通販"_s << u"ソフト販売・ネット通販"_s;
        QTest::newRow("200 characters") << u"あ"_s.repeated(200) << u"あ"_s.repeated(200);
        QTest::newRow("100 KB") << u"x"_s.repeated(100'000) << u"x"_s.repeated(100'000);
        QTest::newRow("trailing blank") << u"店 "_s << u"店"_s;
        QTest::newRow("not in Shift_JIS") << u"店😀é"_s << u"店??"_s;
        QTest::newRow("pasted lines") << u"一\r\n二"_s << u"一 二"_s;
    }
    void roundTripOnDisk()
    {
        QFETCH(QString, value);
        QFETCH(QString, readBack);
        const QString file = path(u"roundtrip.ini"_s);
        QVERIFY(basIniFile::SetIniValue(u"OPTION"_s, u"KEY"_s, value, file));
        QCOMPARE(basIniFile::GetIniValue(u"option"_s, u"key"_s, file), readBack);
    }

    void setIniValueKeepsOtherBytes()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"keep.ini"_s);
        QVERIFY(TestUtil::writeFile(file, "; \x83\x5C\x83\x74\x83\x67\r\n[OPTION]\nTAX=8\r\n\r\n[X]\rA=1"));
        QVERIFY(basIniFile::SetIniValue(u"OPTION"_s, u"SITENAME"_s, u"店"_s, file));
        QCOMPARE(
            TestUtil::readFile(file),
            "; \x83\x5C\x83\x74\x83\x67\r\n[OPTION]\nTAX=8\r\nSITENAME=\x93\x58\r\n\r\n[X]\rA=1"_ba);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"keep.ini"_s});
    }

    // The end-of-file mark stays last, so it never joins the last value.
    void setIniValueKeepsEndMarkLast_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new section") << "[A]\r\nK=\x1A"_ba << "B"_ba << "[A]\r\nK=\r\n[B]\r\nKEY=v\r\n\x1A"_ba;
        QTest::newRow("new key") << "[A]\r\nK=1\x1A\x1A"_ba << "A"_ba << "[A]\r\nK=1\r\nKEY=v\r\n\x1A\x1A"_ba;
        QTest::newRow("replaced key") << "[A]\r\nKEY=1\x1A"_ba << "A"_ba << "[A]\r\nKEY=v\x1A"_ba;
    }
    void setIniValueKeepsEndMarkLast()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, after);
        const QByteArray written = basIniFile::SetIniValueInBytes(before, section, "KEY", "v");
        QCOMPARE(written, after);
        QCOMPARE(basIniFile::GetIniValueFromBytes(written, "A", "K"),
                 basIniFile::GetIniValueFromBytes(before, "A", "K"));
    }

    void readOddFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray binary(4096, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char(i * 37 % 256);
        QTest::newRow("binary") << binary;
        QTest::newRow("10 MB, key at end") << (QByteArray(10 << 20, '\n') + "[OPTION]\nKEY=v"_ba);
        QTest::newRow("lone lead byte") << "[OPTION]\r\nKEY=\x83"_ba;
    }
    void readOddFiles()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path(u"odd.ini"_s);
        QVERIFY(TestUtil::writeFile(file, bytes));
        const QString value = basIniFile::GetIniValue(u"OPTION"_s, u"KEY"_s, file);
        QCOMPARE(value, TextCodec::DecodeShiftJis(
                            basIniFile::GetIniValueFromBytes(bytes, "OPTION", "KEY")));
    }

    void readMissingOrFolder()
    {
        QCOMPARE(basIniFile::GetIniValue(u"OPTION"_s, u"KEY"_s, path(u"none.ini"_s)), QString());
        QCOMPARE(basIniFile::GetIniValue(u"OPTION"_s, u"KEY"_s, m_dir.path()), QString());
    }

    void failedWriteChangesNothing_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("target is a folder") << u"folder.ini"_s;
        QTest::newRow("folder missing") << u"nowhere/option.ini"_s;
        QTest::newRow("file where a folder should be") << u"plain.txt/option.ini"_s;
    }
    void failedWriteChangesNothing()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"folder.ini/inside"_s));
        QVERIFY(TestUtil::writeFile(dir.filePath(u"plain.txt"_s), "keep"));
        QVERIFY(!basIniFile::SetIniValue(u"OPTION"_s, u"KEY"_s, u"v"_s, dir.filePath(target)));
        QVERIFY(!basIniFile::WriteFileAtomically(dir.filePath(target), "x"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{u"folder.ini"_s, u"plain.txt"_s}));
        QCOMPARE(
            QDir(dir.filePath(u"folder.ini"_s)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{u"inside"_s});
        QCOMPARE(TestUtil::readFile(dir.filePath(u"plain.txt"_s)), "keep"_ba);
    }

    void failedReplaceKeepsOldFile()
    {
        // A name at the file system's limit leaves no room for the new file
        // beside it; writing the old file in place instead would risk it.
        const QString file = path(QString(250, u'n'));
        QVERIFY(TestUtil::writeFile(file, "[OPTION]\r\nKEY=old\r\n"));
        QVERIFY(!basIniFile::WriteFileAtomically(file, "new"));
        QVERIFY(!basIniFile::SetIniValue(u"OPTION"_s, u"KEY"_s, u"new"_s, file));
        QCOMPARE(TestUtil::readFile(file), "[OPTION]\r\nKEY=old\r\n"_ba);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
