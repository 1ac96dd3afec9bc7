#include "template/bastemplate.h"
#include "template/hosts.h"
#include "base/textcodec.h"

#include <QRegularExpression>
#include <QStringConverter>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList linesOf(const QString& text)
{
    QStringList lines = text.split(u"\r\n"_s);
    lines.removeLast(); // after the final CR LF
    return lines;
}

QString service(QString s)
{
    return s.replace(u"{service}"_s, QString::fromUtf16(Hosts::ServiceHost));
}

} // namespace

class TestTemplate : public QObject
{
    Q_OBJECT
private slots:
    void lineCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lines");
        QTest::newRow("negative") << -1 << 582;
        QTest::newRow("most negative") << std::numeric_limits<int>::min() << 582;
        QTest::newRow("zero") << 0 << 582;
        QTest::newRow("one") << 1 << 582;
        QTest::newRow("two") << 2 << 585;
        QTest::newRow("three") << 3 << 588;
        QTest::newRow("five") << 5 << 594;
        QTest::newRow("a thousand") << 1000 << 582 + 3 * 999;
    }
    void lineCount()
    {
        QFETCH(int, count);
        QFETCH(int, lines);
        const QString text = basTemplate::BuildPageTemplate(count);
        QCOMPARE(linesOf(text).size(), lines);
        QCOMPARE(text.count(u"\r\n"_s), lines);
    }

    void form_data()
    {
        QTest::addColumn<int>("count");
        for (int count : {0, 1, 2, 7})
            QTest::addRow("%d images", count) << count;
    }
    void form()
    {
        QFETCH(int, count);
        const QString text = basTemplate::BuildPageTemplate(count);
        QVERIFY(text.startsWith(u"<!DOCTYPE HTML PUBLIC "_s));
        QVERIFY(text.endsWith(u"</html>\r\n"_s));
        QVERIFY(!text.contains(u'\t'));
        QVERIFY(!text.contains(QRegularExpression(u"\\{[a-z-]+\\}"_s))); // every slot was filled
        for (const QString& line : linesOf(text)) {
            QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(line));
            QVERIFY2(!line.endsWith(u' '), qPrintable(line));
        }
        // The page declares Shift_JIS, so every character must have a place there.
        QStringEncoder encoder("Shift_JIS");
        const QByteArray bytes = encoder.encode(text);
        QVERIFY(!encoder.hasError());
        QCOMPARE(TextCodec::DecodeShiftJis(bytes), text);
    }

    void sameCountSameText()
    {
        QCOMPARE(basTemplate::BuildPageTemplate(3), basTemplate::BuildPageTemplate(3));
    }

    void headIsTheSameForEveryCount()
    {
        const QStringList one = linesOf(basTemplate::BuildPageTemplate(1));
        const QStringList four = linesOf(basTemplate::BuildPageTemplate(4));
        QCOMPARE(four.mid(0, 499), one.mid(0, 499));
        QCOMPARE(four.mid(499 + 9), one.mid(499));
    }

    void styleSheet()
    {
        const QStringList lines = linesOf(basTemplate::BuildPageTemplate(1));
        QCOMPARE(lines[13], u"    <style type=\"text/css\">"_s);
        QCOMPARE(lines[447], u"    </style>"_s);
        QCOMPARE(lines[448], u"  </head>"_s);
        const QStringList css = lines.mid(16, 447 - 16); // lines 17–447
        int rules = 0;
        int declarations = 0;
        int emptyRules = 0;
        QString firstSelector;
        QString lastSelector;
        bool inRule = false;
        int declarationsInRule = 0;
        for (int i = 0; i < css.size(); ++i) {
            const QString& line = css[i];
            if (!inRule) {
                if (line.isEmpty()) {
                    QVERIFY2(i > 0 && css[i - 1] == u"}"_s, "one empty line between rules");
                    continue;
                }
                QVERIFY2(line.endsWith(u" {"_s) && !line.startsWith(u' '), qPrintable(line));
                const QString selector = line.chopped(2);
                if (firstSelector.isEmpty())
                    firstSelector = selector;
                lastSelector = selector;
                ++rules;
                inRule = true;
                declarationsInRule = 0;
            } else if (line == u"}"_s) {
                inRule = false;
                if (declarationsInRule == 0)
                    ++emptyRules;
            } else {
                QVERIFY2(line.startsWith(u"  "_s) && line.at(2) != u' ' && line.endsWith(u';'),
                         qPrintable(line));
                ++declarations;
                ++declarationsInRule;
            }
        }
        QVERIFY(!inRule);
        QVERIFY(!css.last().isEmpty());
        QCOMPARE(rules, 88);
        QCOMPARE(declarations, 168);
        QCOMPARE(emptyRules, 12);
        QCOMPARE(firstSelector, u"*"_s);
        QCOMPARE(lastSelector, u"#container div.dp-body div.dp-body-firm-name"_s);
    }

    // Lines typed from the page design by hand, to catch a slip in the tables.
    void knownLines_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("doctype")
            << 1
            << u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">"_s;
        QTest::newRow("charset")
            << 4 << u"    <meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"_s;
        QTest::newRow("banner open")
            << 7
            << u"    <!--/////  ↓↓ここから↓↓（サイトの概要を記入する部分です。実際のページには表示されません）   /////-->"_s;
        QTest::newRow("title") << 11 << u"    <title><csv1> 通販</title>"_s;
        QTest::newRow("banner close")
            << 12
            << u"    <!--//////  ↑↑ここまで↑↑（サイトの概要を記入する部分です。実際のページには表示されません）  /////-->"_s;
        QTest::newRow("empty") << 13 << QString();
        QTest::newRow("css comment") << 15 << u"/* CSS */"_s;
        QTest::newRow("first rule") << 17 << u"* {"_s;
        QTest::newRow("body font")
            << 85
            << u"  font-family: \"Lucida Grande\", \"Osaka\", \"Verdana\", \"MS P Gothic\", sans-serif;"_s;
        QTest::newRow("header")
            << 455
            << service(u"          <div class=\"dp-body-header\" style=\"background-image: url('http://{service}/images/shop/service/velimora/pc/header/<headerimage>');\">"_s);
        QTest::newRow("first image")
            << 472
            << service(u"            <p class=\"item-image1 inline-center\"><img id=\"item-image1\" src=\"https://{service}/item_image/<picture>/1/l.jpg\" width=\"300\" height=\"300\" alt=\"<csv1>\"></p>"_s);
        QTest::newRow("recommendation") << 490
            << u"            <p class=\"block-center inline-left\" style=\"color: #ff0000;\"><csv10><br />"_s;
        QTest::newRow("br at column 0") << 491 << u"<br />"_s;
        QTest::newRow("description") << 496 << u"            <csv12>"_s;
        QTest::newRow("h3 second line") << 507 << u"売り切れる前に、早めのご注文をおすすめします！</h3>"_s;
        QTest::newRow("enquiry")
            << 522
            << service(u"                <p class=\"anchor-inquiry\"><a href=\"http://{service}/inquiry/item?sid=<shopid>&amp;bid=-<csv0>\">&gt;&gt;&nbsp;この商品について質問する</a></p>"_s);
        QTest::newRow("closing banner says lower part") << 527
            << u"          <!--/////  ↑↑ページ下部の商品紹介部分（その２）ここまで↑↑  /////-->"_s;
        QTest::newRow("profile")
            << 550
            << u"              <li><a href=\"http://"_s + QString::fromUtf16(Hosts::ProfileHost)
                   + u"/mp/www/shop/profile?shop_id=<shopid>&token=7c1e9a04b2d85f3e60a9c7d12e4b8f05a3d6c918\" target=\"_blank\">サイト運営者</a></li>"_s;
        QTest::newRow("operator") << 567 << u"          <p>サイト運営者:&nbsp;<sitemaster></p>"_s;
        QTest::newRow("tracking")
            << 571
            << service(u"    <img src=\"http://{service}/analytics/tracking.gif?s=<shopid>&amp;a=<csv0>\" width=\"1\" height=\"1\">"_s);
        QTest::newRow("log host")
            << 574
            << u"    document.write(\"<img src='http://"_s + QString::fromUtf16(Hosts::LogHost)
                   + u"/quon/acclog.cgi?\");"_s;
        QTest::newRow("last") << 582 << u"</html>"_s;
    }
    void knownLines()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        const QStringList lines = linesOf(basTemplate::BuildPageTemplate(1));
        QCOMPARE(lines[number - 1], text);
    }

    void imageEntries()
    {
        const QStringList lines = linesOf(basTemplate::BuildPageTemplate(3));
        QCOMPARE(lines.size(), 588);
        QCOMPARE(lines[498], u"          <div class=\"dp-body-image-second block-center\">"_s);
        for (int k = 2; k <= 3; ++k) {
            const int first = 499 + (k - 2) * 3;
            QCOMPARE(lines[first], u"            <div class=\"item-image2 float-left\">"_s);
            QCOMPARE(lines[first + 1],
                     service(u"              <p class=\"item-image2\"><img id=\"item-image2\" src=\"https://{service}/item_image/<picture>/%1/l.jpg\" width=\"300\" height=\"300\" alt=\"<csv1>\"></p>"_s)
                         .arg(k));
            QCOMPARE(lines[first + 2], u"            </div>"_s);
        }
        QCOMPARE(lines[505], u"            <div class=\"clear-both\">&nbsp;</div>"_s);
    }

    void placeholderCounts_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one image") << 1;
        QTest::newRow("four images") << 4;
    }
    void placeholderCounts()
    {
        QFETCH(int, count);
        const QString text = basTemplate::BuildPageTemplate(count);
        const qsizetype bodyStart = text.indexOf(u"<body>"_s);
        const QString body = text.mid(bodyStart);
        const int extra = qMax(0, count - 1);
        QCOMPARE(body.count(u"<shopid>"_s), 11);
        QCOMPARE(body.count(u"<csv0>"_s), 6);
        QCOMPARE(body.count(u"<csv1>"_s), 6 + extra);
        QCOMPARE(body.count(u"<picture>"_s), 2 + extra);
        QCOMPARE(text.count(u"<csv1>"_s), 8 + extra);
        QCOMPARE(text.count(u"<csv3>"_s), 1);
        QCOMPARE(body.count(u"<csv8>"_s), 2);
        QCOMPARE(body.count(u"<includetax>"_s), 2);
        for (const char16_t* once : {u"<csv10>", u"<csv11>", u"<csv12>", u"<headerimage>",
                                     u"<sitename>", u"<catchcopy1>", u"<catchcopy2>",
                                     u"<catchcopy3>", u"<sitemaster>"})
            QCOMPARE(body.count(QString::fromUtf16(once)), 1);
        // The tracking image and the script follow the container's end.
        const QStringList lines = linesOf(text);
        QCOMPARE(lines[569 + 3 * extra], u"    </div>"_s);
        QVERIFY(lines[570 + 3 * extra].startsWith(u"    <img src="_s));
        QCOMPARE(lines[580 + 3 * extra], u"  </body>"_s);
    }
};

QTEST_GUILESS_MAIN(TestTemplate)
#include "tst_template.moc"
