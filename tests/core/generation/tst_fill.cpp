#include "generation/filltemplate.h"
#include "generation/pagefiller.h"
#include "generation/pagename.h"
#include "generation/pagevalues.h"
#include "recordingui.h"
#include "testdata.h"
#include "testutil.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The settings of the sample shop, in key order.
const QStringList kShop = {u"4"_s,
                           u"革小物の店 そらび"_s,
                           u"一生ものの革小物"_s,
                           u"送料無料でお届けします"_s,
                           u"ギフト包装も承ります。"_s,
                           u"sorabi01"_s,
                           u"山田 花子"_s,
                           u"8"_s};

using TestData::optionValues;
using TestData::productFields;

QByteArray csvLine(const QStringList& fields)
{
    return fields.join(u',').toUtf8();
}

struct Filled
{
    bool ok = false;
    QString fileName;
    QString page;
    QString failure;
};

Filled fill(const QStringList& fields, const QStringList& settings = kShop)
{
    PageFiller filler;
    FilledPage page;
    Filled result;
    result.ok = filler.Fill(csvLine(fields), TextEncoding::Utf8, optionValues(settings), page,
                            result.failure);
    result.fileName = page.fileName;
    result.page = QString::fromUtf8(page.text);
    return result;
}

} // namespace

class TestFill : public QObject
{
    Q_OBJECT
private slots:
    void includeTax_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("tax");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<QString>("result");
        QTest::newRow("5 percent") << u"1980"_s << u"5"_s << true << u"2079"_s;
        QTest::newRow("8 percent") << u"1980"_s << u"8"_s << true << u"2138"_s;
        QTest::newRow("rounded down") << u"999"_s << u"8"_s << true << u"1078"_s;
        QTest::newRow("digit-group comma") << u"1,980"_s << u"10"_s << true << u"2178"_s;
        QTest::newRow("fractional price") << u"19.5"_s << u"10"_s << true << u"22"_s;
        QTest::newRow("empty price") << QString() << u"8"_s << true << QString();
        QTest::newRow("text price") << u"お問い合わせ"_s << u"8"_s << true << QString();
        QTest::newRow("empty tax") << u"1980"_s << QString() << true << QString();
        QTest::newRow("zero tax") << u"1980"_s << u"0"_s << true << u"1980"_s;
        QTest::newRow("negative tax") << u"1000"_s << u"-3"_s << true << u"970"_s;
        QTest::newRow("negative result rounds down") << u"-1"_s << u"50"_s << true << u"-2"_s;
        QTest::newRow("product does not fit") << u"30000000"_s << u"100"_s << false << QString();
        QTest::newRow("price beyond 32 bits") << u"3000000000"_s << u"0"_s << false << QString();
        QTest::newRow("tax beyond 32 bits") << u"1"_s << u"1e10"_s << false << QString();
        QTest::newRow("largest product") << u"21474836"_s << u"100"_s << true << u"42949672"_s;
    }
    void includeTax()
    {
        QFETCH(QString, price);
        QFETCH(QString, tax);
        QFETCH(bool, fits);
        QFETCH(QString, result);
        const auto value = IncludeTax(price, tax);
        QCOMPARE(value.has_value(), fits);
        if (fits)
            QCOMPARE(*value, result);
    }

    void headerImage_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("0") << "0"_ba << "001.jpg"_ba;
        QTest::newRow("9") << "9"_ba << "010.jpg"_ba;
        QTest::newRow("99") << "99"_ba << "100.jpg"_ba;
        QTest::newRow("empty") << ""_ba << "001.jpg"_ba;
        QTest::newRow("not numeric") << "abc"_ba << "001.jpg"_ba;
        QTest::newRow("leading number") << "12abc"_ba << "013.jpg"_ba;
        QTest::newRow("half to even") << "2.5"_ba << "003.jpg"_ba;
        QTest::newRow("minus one") << "-1"_ba << "000.jpg"_ba;
        QTest::newRow("negative") << "-5"_ba << "-004.jpg"_ba;
        QTest::newRow("four digits") << "1234"_ba << "1235.jpg"_ba;
        QTest::newRow("beyond 32 bits") << "99999999999"_ba << QByteArray();
    }
    void headerImage()
    {
        QFETCH(QByteArray, setting);
        QFETCH(QByteArray, name);
        const auto result = HeaderImageFileName(setting);
        QCOMPARE(result.value_or(QByteArray()), name);
    }

    void picture_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("short") << u"12345"_s << u"0000000012345"_s;
        QTest::newRow("one") << u"1"_s << u"0000000000001"_s;
        QTest::newRow("empty") << QString() << u"0000000000000"_s;
        QTest::newRow("exactly 13") << u"1234567890123"_s << u"1234567890123"_s;
        QTest::newRow("longer keeps last 13") << u"991234567890123"_s << u"1234567890123"_s;
        QTest::newRow("counted in characters") << u"画像１"_s << u"0000000000画像１"_s;
    }
    void picture()
    {
        QFETCH(QString, field);
        QFETCH(QString, identifier);
        for (TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::ShiftJis}) {
            const QByteArray bytes =
                encoding == TextEncoding::Utf8 ? field.toUtf8() : TextCodec::EncodeShiftJis(field);
            const QByteArray result = PictureIdentifier(bytes, encoding);
            QCOMPARE(encoding == TextEncoding::Utf8 ? QString::fromUtf8(result)
                                                    : TextCodec::DecodeShiftJis(result),
                     identifier);
        }
    }

    // Where placeholder text inside a value ends up.
    void placeholdersInValues_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("absent");
        const QStringList shop = kShop;
        QTest::newRow("settings are filled after fields")
            << productFields({u"1"_s, u"<sitename>の財布"_s}) << shop
            << u"<title>革小物の店 そらびの財布 通販</title>"_s << u"<sitename>の財布"_s;
        QTest::newRow("a later field's placeholder is filled")
            << productFields({u"1"_s, u"a"_s, u"b"_s, u"<csv5>"_s, u"c"_s, u"FIVE"_s})
            << shop << u"content=\"FIVE\""_s << u"<csv5>"_s;
        QStringList late = productFields({u"1"_s, u"n"_s});
        late[10] = u"[<csv5>]"_s;
        late[5] = u"FIVE"_s;
        QTest::newRow("an earlier field's placeholder stays") << late << shop << u"[<csv5>]<br />"_s
                                                              << u"[FIVE]"_s;
        QStringList own = productFields({u"1"_s, u"n"_s});
        own[10] = u"<csv10>"_s;
        QTest::newRow("a field's own placeholder stays") << own << shop << u"><csv10><br />"_s
                                                         << u"[]"_s;
        QTest::newRow("placeholder beyond the row stays")
            << productFields({u"1"_s, u"<csv20>"_s}) << shop
            << u"<title><csv20> 通販</title>"_s << u"x20"_s;
        QStringList tens = productFields({u"1"_s, u"ONE"_s});
        tens[10] = u"TEN"_s;
        QTest::newRow("<csv1> beside <csv10>") << tens << shop << u"TEN<br />"_s << u"ONE0"_s;
        QTest::newRow("markup goes in unchanged")
            << productFields({u"1"_s, u"A&B <i>"_s}) << shop << u"alt=\"A&B <i>\""_s
            << u"&amp;B"_s;
        QStringList sjisSetting = shop;
        sjisSetting[1] = u"<shopid>の店"_s;
        QTest::newRow("a setting holding a later setting")
            << productFields({u"1"_s}) << sjisSetting << u">sorabi01の店</h1>"_s
            << u"<shopid>の店"_s;
        QStringList earlier = shop;
        earlier[5] = u"<sitename>"_s;
        QTest::newRow("a setting holding an earlier setting")
            << productFields({u"1"_s}) << earlier << u"shop_id=<sitename>&amp;"_s
            << u"shop_id=革"_s;
        QStringList fieldInSetting = shop;
        fieldInSetting[6] = u"<csv1>"_s;
        QTest::newRow("a field placeholder in a setting stays")
            << productFields({u"1"_s, u"NAME"_s}) << fieldInSetting
            << u"サイト運営者:&nbsp;<csv1></p>"_s << u"サイト運営者:&nbsp;NAME"_s;
        QStringList joined = productFields({u"1"_s, u"<cs"_s});
        joined[2] = u"v3>"_s;
        QTest::newRow("text that only looks joined") << joined << shop << u"<title><cs 通販"_s
                                                     << u"<csv3>"_s;
    }
    void placeholdersInValues()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, settings);
        QFETCH(QString, expected);
        QFETCH(QString, absent);
        const Filled result = fill(fields, settings);
        QVERIFY2(result.ok, qPrintable(result.failure));
        QVERIFY2(result.page.contains(expected), qPrintable(expected));
        QVERIFY2(!result.page.contains(absent), qPrintable(absent));
    }

    void imageCount_data()
    {
        QTest::addColumn<QString>("field15");
        QTest::addColumn<int>("entries");
        QTest::newRow("three") << u"3"_s << 2;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("zero") << u"0"_s << 0;
        QTest::newRow("one") << u"1"_s << 0;
        QTest::newRow("no number") << u"abc"_s << 0;
        QTest::newRow("leading number") << u" 4枚"_s << 3;
        QTest::newRow("half to even down") << u"2.5"_s << 1;
        QTest::newRow("half to even up") << u"3.5"_s << 3;
        QTest::newRow("negative") << u"-7"_s << 0;
        QTest::newRow("the limit") << u"1000"_s << 999;
    }
    void imageCount()
    {
        QFETCH(QString, field15);
        QFETCH(int, entries);
        QStringList fields = productFields({u"1"_s});
        fields[15] = field15;
        const Filled result = fill(fields);
        QVERIFY2(result.ok, qPrintable(result.failure));
        QCOMPARE(result.page.count(u"id=\"item-image2\""_s), entries);
        QCOMPARE(result.page.count(u"\r\n"_s), 582 + 3 * entries);
    }

    void sixteenFieldsWithTax()
    {
        QStringList fields = productFields({u"1001"_s});
        fields[8] = u"1980"_s;
        const Filled result = fill(fields);
        QVERIFY(result.ok);
        QCOMPARE(result.fileName, u"1001.html"_s);
        QCOMPARE(result.page.count(u"(2138円 [税込])"_s), 1);
        QCOMPARE(result.page.count(u"&nbsp;(2138円&nbsp;[税込])"_s), 1);
        QVERIFY(result.page.contains(u"/pc/header/005.jpg'"_s));
        QVERIFY(!result.page.contains(u"<includetax>"_s));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("fewer than 16 fields")
            << QStringList{u"1"_s, u"a"_s, u"b"_s} << kShop << u"3 個"_s;
        QStringList huge = productFields({u"1"_s});
        huge[15] = u"2000000000000"_s;
        QTest::newRow("image count beyond 32 bits") << huge << kShop << u"16 列目"_s;
        QStringList many = productFields({u"1"_s});
        many[15] = u"2000000000"_s;
        QTest::newRow("image count beyond the limit") << many << kShop << u"1000 枚"_s;
        QStringList price = productFields({u"1"_s});
        price[8] = u"30000000"_s;
        QStringList rate = kShop;
        rate[7] = u"100"_s;
        QTest::newRow("tax product overflows") << price << rate << u"税込価格"_s;
        QTest::newRow("too many fields")
            << productFields({u"1"_s}, 32768) << kShop << u"32767"_s;
        QStringList header = kShop;
        header[0] = u"99999999999"_s;
        QTest::newRow("header picture beyond 32 bits")
            << productFields({u"1"_s}) << header << u"HEADERIMAGE"_s;
        // Each field names the next one twice: the page would double 30 times.
        QStringList doubling = productFields({u"1"_s}, 50);
        doubling[12] = u"<csv16><csv16>"_s;
        for (int i = 16; i < 49; ++i)
            doubling[i] = u"<csv%1><csv%1>"_s.arg(i + 1);
        QTest::newRow("placeholders that multiply") << doubling << kShop << u"256 MB"_s;
    }
    void failures()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, settings);
        QFETCH(QString, mentions);
        const Filled result = fill(fields, settings);
        QVERIFY(!result.ok);
        QVERIFY2(result.failure.contains(mentions), qPrintable(result.failure));
        QVERIFY(result.page.isEmpty());

        // Shown in a run as a stop message naming the line.
        RecordingUi ui;
        PageFiller filler;
        FilledPage page;
        QVERIFY(!FillTemplate(ui, filler, csvLine(fields), TextEncoding::Utf8,
                              optionValues(settings), 7, page));
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY(ui.messages[0].text.startsWith(u"7 行目（商品ID「1」）"_s));
        QVERIFY(ui.messages[0].text.contains(result.failure));
        QVERIFY(page.text.isEmpty());
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("articleId");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << u"1001"_s << true;
        QTest::newRow("japanese") << u"財布-01"_s << true;
        QTest::newRow("emoji kept") << u"item😀"_s << true;
        QTest::newRow("dots inside") << u"a.b"_s << true;
        QTest::newRow("slash") << u"../../etc/x"_s << false;
        QTest::newRow("backslash") << u"..\\x"_s << false;
        QTest::newRow("absolute") << u"/tmp/x"_s << false;
        QTest::newRow("drive") << u"C:x"_s << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("dots only") << u".."_s << false;
        QTest::newRow("question mark") << u"a?b"_s << false;
        QTest::newRow("star") << u"a*"_s << false;
        QTest::newRow("pipe") << u"a|b"_s << false;
        QTest::newRow("quote") << u"a\"b"_s << false;
        QTest::newRow("angle") << u"a<b"_s << false;
        QTest::newRow("control") << u"a\tb"_s << false;
        QTest::newRow("nul") << QString(u"a"_s + QChar(0)) << false;
        QTest::newRow("device") << u"CON"_s << false;
        QTest::newRow("device lower case") << u"nul"_s << false;
        QTest::newRow("device with extension") << u"com1.txt"_s << false;
        QTest::newRow("device numbered 0") << u"lpt0"_s << false;
        QTest::newRow("device with superscript") << u"COM²"_s << false;
        QTest::newRow("console device") << u"CONOUT$"_s << false;
        QTest::newRow("not a device") << u"CONSOLE"_s << true;
        QTest::newRow("not a device either") << u"COM10"_s << true;
        QTest::newRow("300 characters") << QString(300, u'a') << false;
        QTest::newRow("250 characters") << QString(250, u'a') << true;
        QTest::newRow("90 kanji, 270 bytes") << QString(90, u'財') << false;
    }
    void fileNames()
    {
        QFETCH(QString, articleId);
        QFETCH(bool, safe);
        QString reason;
        QCOMPARE(IsSafePageFileName(articleId + u".html"_s, &reason), safe);
        QCOMPARE(reason.isEmpty(), safe);
    }

    // The quick method and the plain one give the same page for any values,
    // however their placeholder fragments combine.
    void quickAndPlainAgree()
    {
        const QStringList pieces = {u"<"_s,       u">"_s,         u"csv"_s,    u"1"_s,
                                    u"2"_s,       u"<csv1>"_s,    u"<csv3>"_s, u"<csv15>"_s,
                                    u"<sitename>"_s, u"<shopid>"_s, u"<cs"_s,    u"v2>"_s,
                                    u"site"_s,    u"name>"_s,     u"a"_s,      u"財"_s,
                                    u" "_s,       u"<picture>"_s, u"<<"_s,     u"<csv0>"_s};
        QRandomGenerator random(20261208);
        auto value = [&] {
            QString text;
            const int n = random.bounded(5);
            for (int i = 0; i < n; ++i)
                text += pieces[random.bounded(pieces.size())];
            return text.remove(u','); // keep the field count
        };
        int quick = 0;
        for (int round = 0; round < 3000; ++round) {
            QStringList fields;
            for (int i = 0; i < 16 + random.bounded(3); ++i)
                fields.append(value());
            fields[15] = QString::number(random.bounded(3));
            QStringList settings = kShop;
            for (int i = 1; i < 7; ++i) {
                if (random.bounded(3) == 0)
                    settings[i] = value();
            }
            const QByteArray line = csvLine(fields);
            PageFiller filler;
            FilledPage a;
            FilledPage b;
            QString failureA;
            QString failureB;
            const bool okA = filler.Fill(line, TextEncoding::Utf8, optionValues(settings), a, failureA);
            const bool okB = filler.FillByPasses(line, TextEncoding::Utf8, optionValues(settings), b,
                                                 failureB);
            QCOMPARE(okA, okB);
            if (a.text != b.text) {
                qWarning() << "line" << line << "settings" << settings;
                QCOMPARE(QString::fromUtf8(a.text), QString::fromUtf8(b.text));
            }
            bool usesQuick = true;
            for (const QString& f : fields)
                usesQuick = usesQuick && !f.endsWith(u'<') && !f.contains(u"<<"_s);
            quick += usesQuick;
        }
        QVERIFY(quick > 100);
    }

    // A product split by a line break inside a cell fails for too few
    // fields; an unclosed quote on the line is the sign, and the hint says so.
    void unclosedQuoteHint_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("hint");
        QTest::newRow("cell cut by a line break") << u"1001,本革の財布,\"説明の前半"_s << true;
        QTest::newRow("apostrophe never closed") << u"1001,'説明"_s << true;
        QTest::newRow("quotes closed") << u"1001,\"財布,小物\",x"_s << false;
    }
    void unclosedQuoteHint()
    {
        QFETCH(QString, line);
        QFETCH(bool, hint);
        RecordingUi ui;
        PageFiller filler;
        FilledPage page;
        QVERIFY(!FillTemplate(ui, filler, line.toUtf8(), TextEncoding::Utf8, optionValues(kShop), 2,
                              page));
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].text.contains(u"項目の数が足りません"_s));
        QCOMPARE(ui.messages[0].text.contains(u"セルの中に改行があると"_s), hint);
    }

    void shiftJisAndUtf8GiveTheSamePage()
    {
        QStringList fields = productFields({u"1001"_s, u"本革の長財布①～"_s});
        fields[12] = u"説明文<br>です"_s;
        const QString line = fields.join(u',');
        PageFiller filler;
        FilledPage sjis;
        FilledPage utf8;
        QString failure;
        QVERIFY(filler.Fill(TextCodec::EncodeShiftJis(line), TextEncoding::ShiftJis,
                            optionValues(kShop), sjis, failure));
        QVERIFY(filler.Fill(line.toUtf8(), TextEncoding::Utf8, optionValues(kShop), utf8, failure));
        QCOMPARE(TextCodec::DecodeShiftJis(sjis.text), QString::fromUtf8(utf8.text));
        QCOMPARE(sjis.fileName, utf8.fileName);
    }

    // One real line against the page written out by hand from the page design.
    void wholePage()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"option.ini"_s);
        QVERIFY(TestUtil::writeFile(ini, TestData::settingsFile(kShop)));
        const QString line =
            u"1001,本革ラウンドファスナー長財布 & ケース,財布,\"長財布,本革,メンズ\",x4,x5,x6,x7,"
            "\"1,980\",x9,職人が一枚革から<b>手縫い</b>で仕上げました。,"
            "サイズ：横19cm×縦10cm<br />素材：牛革,使うほどに手になじむ、<em>経年変化</em>を楽しめる長財布です。,"
            "x13,12345,3"_s;
        RecordingUi ui;
        QString fileName;
        QString page;
        QVERIFY(FillTemplate(ui, line, ini, fileName, page));
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(fileName, u"1001.html"_s);
        QByteArray expected = TestUtil::readFile(QStringLiteral(SORABI_TEST_DATA "/expected-1001.html"));
        QVERIFY(expected.endsWith("</html>\r\n\r\n"));
        expected.chop(2); // the file ends with the line break that writing adds
        const QStringList got = page.split(u"\r\n"_s);
        const QStringList want = TextCodec::DecodeShiftJis(expected).split(u"\r\n"_s);
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got[i], want[i]);
    }
};

QTEST_GUILESS_MAIN(TestFill)
#include "tst_fill.moc"
