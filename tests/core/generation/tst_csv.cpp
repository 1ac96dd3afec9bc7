#include "generation/bascsv.h"
#include "generation/csvlines.h"
#include "base/textcodec.h"
#include "recordingui.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCsv : public QObject
{
    Q_OBJECT
private slots:
    void split_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("plain") << u"1001,abc,,x"_s << QStringList{u"1001"_s, u"abc"_s, u""_s, u"x"_s};
        QTest::newRow("trailing comma") << u"a,b,"_s << QStringList{u"a"_s, u"b"_s, u""_s};
        QTest::newRow("leading comma") << u",a"_s << QStringList{u""_s, u"a"_s};
        QTest::newRow("only a comma") << u","_s << QStringList{u""_s, u""_s};
        QTest::newRow("quoted comma") << u"\"x,y\",z"_s << QStringList{u"x,y"_s, u"z"_s};
        QTest::newRow("apostrophe quoted") << u"'x,y',z"_s << QStringList{u"x,y"_s, u"z"_s};
        QTest::newRow("doubled quote stays")
            << u"\"say \"\"hi\"\"\",n"_s << QStringList{u"say \"\"hi\"\""_s, u"n"_s};
        QTest::newRow("double quote inside apostrophes")
            << u"'a\",b',c"_s << QStringList{u"a\",b"_s, u"c"_s};
        QTest::newRow("apostrophe closes only at comma or end")
            << u"'it's',x"_s << QStringList{u"it's"_s, u"x"_s};
        QTest::newRow("quote not first is data") << u"a\"b,c"_s << QStringList{u"a\"b"_s, u"c"_s};
        QTest::newRow("unclosed quote runs to end")
            << u"a,\"b,c,d"_s << QStringList{u"a"_s, u"b,c,d"_s};
        QTest::newRow("unclosed quote, trailing comma")
            << u"a,\"b,c,"_s << QStringList{u"a"_s, u"b,c,"_s, u""_s};
        QTest::newRow("blank before quote keeps quotes")
            << u"a, \"b\""_s << QStringList{u"a"_s, u" \"b\""_s};
        QTest::newRow("two double quotes") << u"\"\""_s << QStringList{u""_s};
        QTest::newRow("two quoted fields") << u"\"a\",\"b\""_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("quoted field, trailing comma")
            << u"\"a\","_s << QStringList{u"a"_s, u""_s};
        QTest::newRow("lone quote") << u"\""_s << QStringList{u""_s};
        QTest::newRow("quote at end after comma") << u"a,\""_s << QStringList{u"a"_s, u""_s};
        QTest::newRow("closing quote mid-field is data")
            << u"\"a\"b\",c"_s << QStringList{u"a\"b"_s, u"c"_s};
        QTest::newRow("blanks are data") << u" a , b "_s << QStringList{u" a "_s, u" b "_s};
        QTest::newRow("japanese")
            << u"1001,革の財布,\"黒, 茶\""_s << QStringList{u"1001"_s, u"革の財布"_s, u"黒, 茶"_s};
        QTest::newRow("empty line") << QString() << QStringList();
    }
    void split()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QCOMPARE(basCsv::SplitCsvLine(line), fields);

        // The byte rule gives the same fields, in Shift_JIS and in UTF-8.
        for (bool utf8 : {false, true}) {
            const QByteArray bytes = utf8 ? line.toUtf8() : TextCodec::EncodeShiftJis(line);
            QStringList decoded;
            for (QByteArrayView field : basCsv::SplitCsvLine(QByteArrayView(bytes)))
                decoded.append(utf8 ? QString::fromUtf8(field) : TextCodec::DecodeShiftJis(field));
            QCOMPARE(decoded, fields);
        }
    }

    void manyFields()
    {
        QString line;
        for (int i = 0; i < 40000; ++i)
            line += QString::number(i) + u',';
        const QStringList row = basCsv::SplitCsvLine(line);
        QCOMPARE(row.size(), 40001);
        QCOMPARE(row[39999], u"39999"_s);
        QCOMPARE(row.last(), QString());
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("crlf") << "a\r\nb\r\n"_ba << QStringList{u"a"_s, u"b"_s, u""_s};
        QTest::newRow("lf") << "a\nb\n"_ba << QStringList{u"a"_s, u"b"_s, u""_s};
        QTest::newRow("cr") << "a\rb\r"_ba << QStringList{u"a"_s, u"b"_s, u""_s};
        QTest::newRow("mixed") << "a\r\nb\nc\rd"_ba
                               << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
        QTest::newRow("lf cr is two breaks") << "a\n\rb"_ba << QStringList{u"a"_s, u""_s, u"b"_s};
        QTest::newRow("blank lines kept") << "h\r\n\r\n  \r\nx"_ba
                                          << QStringList{u"h"_s, u""_s, u"  "_s, u"x"_s};
        QTest::newRow("no final break") << "h\r\nx"_ba << QStringList{u"h"_s, u"x"_s};
        QTest::newRow("header only") << "h"_ba << QStringList{u"h"_s};
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("only a break") << "\r\n"_ba << QStringList{u""_s, u""_s};
        QTest::newRow("utf-8 bom only") << "\xEF\xBB\xBF"_ba << QStringList();
        QTest::newRow("nul bytes kept") << QByteArray("a\0b\nc", 5)
                                        << QStringList{QString::fromUtf16(u"a\0b", 3), u"c"_s};
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        const CsvLineList list = CsvLineList::FromBytes(bytes);
        QStringList got;
        for (qsizetype i = 0; i < list.size(); ++i)
            got.append(list.text(i));
        QCOMPARE(got, lines);
        QCOMPARE(list.lastIndex(), lines.size() - 1);
    }

    void encodingDetection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        const QString japanese = u"商品ID,商品名,価格\r\n1001,本革の長財布（ブラック）,\"1,980\"\r\n"
                                 u"1002,ｶﾀｶﾅのﾃｽﾄ商品①,2980\r\n"_s;
        QTest::newRow("shift_jis sentences") << TextCodec::EncodeShiftJis(japanese) << false;
        QTest::newRow("utf-8 sentences") << japanese.toUtf8() << true;
        QTest::newRow("utf-8 with bom") << "\xEF\xBB\xBF"_ba + japanese.toUtf8() << true;
        QTest::newRow("ascii only") << "id,name\r\n1,a\r\n"_ba << false;
        QTest::newRow("utf-8 bom, ascii") << "\xEF\xBB\xBFid,name\r\n"_ba << true;
        QTest::newRow("half-width katakana shift_jis")
            << TextCodec::EncodeShiftJis(u"ｻﾝﾌﾟﾙ,ﾃｽﾄ商品です。\r\n"_s) << false;
        QTest::newRow("invalid utf-8 tail") << japanese.toUtf8() + "\xFF"_ba << false;
    }
    void encodingDetection()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        const CsvLineList list = CsvLineList::FromBytes(bytes);
        QCOMPARE(list.encoding() == TextEncoding::Utf8, utf8);
        if (bytes.contains("1001") && !bytes.endsWith("\xFF")) {
            QCOMPARE(basCsv::SplitCsvLine(list.text(1)).value(1), u"本革の長財布（ブラック）"_s);
        }
    }

    void invalidBytesLoseNoLine()
    {
        // Lone lead bytes, bytes no encoding uses, a lead byte before a break.
        const QByteArray bytes = "h\r\n\x81\r\n\xFF\xFE,x\r\n\x82\nlast"_ba;
        const CsvLineList list = CsvLineList::FromBytes(bytes);
        QCOMPARE(list.size(), 5);
        QCOMPARE(list.line(2), "\xFF\xFE,x"_ba);
        QCOMPARE(list.text(4), u"last"_s);
        QCOMPARE(basCsv::SplitCsvLine(list.line(2)).size(), 2);
    }

    void loadMissingFile()
    {
        RecordingUi ui;
        CsvLineList lines;
        QVERIFY(!LoadCsvLines(ui, u"no-such-file.csv"_s, lines));
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].text, u"CSVファイルが見つかりません。"_s);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Exclamation);
    }

    void loadFolderIsNoFile()
    {
        QTemporaryDir dir;
        RecordingUi ui;
        CsvLineList lines;
        QVERIFY(!LoadCsvLines(ui, dir.path(), lines));
        QCOMPARE(ui.messages.value(0).text, u"CSVファイルが見つかりません。"_s);
    }

    void loadShiftJisFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.csv"_s);
        QVERIFY(TestUtil::writeFile(path, TextCodec::EncodeShiftJis(u"見出し\r\n１行目,～\r\n"_s)));
        RecordingUi ui;
        CsvLineList lines;
        QVERIFY(LoadCsvLines(ui, path, lines));
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.text(1), u"１行目,～"_s);
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
