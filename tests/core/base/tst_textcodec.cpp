#include "base/textcodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestTextCodec : public QObject
{
    Q_OBJECT
private slots:
    void windowsVariant_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("wave dash as full-width tilde") << "\x81\x60"_ba << u"～"_s;
        QTest::newRow("circled one") << "\x87\x40"_ba << u"①"_s;
        QTest::newRow("hiragana") << "\x82\xA0"_ba << u"あ"_s;
        QTest::newRow("half-width katakana") << "\xB1"_ba << u"ｱ"_s;
        QTest::newRow("backslash stays") << "\\"_ba << u"\\"_s;
    }
    void windowsVariant()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextCodec::DecodeShiftJis(bytes), text);
        QCOMPARE(TextCodec::EncodeShiftJis(text), bytes);
    }

    void unmappable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("substituted");
        QTest::addColumn<QByteArray>("referenced");
        QTest::newRow("emoji") << u"a😀b"_s << "a?b"_ba << "a&#x1F600;b"_ba;
        QTest::newRow("wave dash U+301C") << u"〜"_s << "?"_ba << "&#x301C;"_ba;
        QTest::newRow("mixed with mappable")
            << u"財布😀①"_s << TextCodec::EncodeShiftJis(u"財布"_s) + "?\x87\x40"_ba
            << TextCodec::EncodeShiftJis(u"財布"_s) + "&#x1F600;\x87\x40"_ba;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << "?"_ba << "&#xD800;"_ba;
    }
    void unmappable()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, substituted);
        QFETCH(QByteArray, referenced);
        QCOMPARE(TextCodec::EncodeShiftJis(text), substituted);
        QCOMPARE(TextCodec::EncodeShiftJis(text, TextCodec::Unmappable::CharacterReference),
                 referenced);
    }

    void utf8Validation_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << "abc"_ba << true;
        QTest::newRow("japanese") << u"日本語"_s.toUtf8() << true;
        QTest::newRow("4-byte") << u"😀"_s.toUtf8() << true;
        QTest::newRow("overlong slash") << "\xC0\xAF"_ba << false;
        QTest::newRow("overlong 3-byte") << "\xE0\x80\xAF"_ba << false;
        QTest::newRow("surrogate") << "\xED\xA0\x80"_ba << false;
        QTest::newRow("beyond U+10FFFF") << "\xF4\x90\x80\x80"_ba << false;
        QTest::newRow("truncated") << "\xE6\x97"_ba << false;
        QTest::newRow("lone continuation") << "\x80"_ba << false;
        QTest::newRow("shift_jis") << TextCodec::EncodeShiftJis(u"日本語の文章です。"_s) << false;
    }
    void utf8Validation()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(TextCodec::IsValidUtf8(bytes), valid);
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
