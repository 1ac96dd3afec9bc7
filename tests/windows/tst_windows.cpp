// What must come out the same on Windows as on Linux, where the two take
// different roads: Shift_JIS through code page 932 there, through Qt's
// converter here. Also where Windows installers put programs, and a text
// whose room depends on the system's fonts. Runs on Linux under CTest and on
// Windows (under Wine) from scripts/windows.

#include "base/platform.h"
#include "base/textcodec.h"
#include "forms/frmprogress.h"
#include "widgettest.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestWindows : public QObject
{
    Q_OBJECT
private slots:
    // Codes that Shift_JIS variants read differently, and the duplicates of
    // code page 932 (NEC row 13, NEC-selected IBM and IBM extensions).
    void codePage932Decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x5C is a backslash, not a yen sign") << "\x5C"_ba << u"\\"_s;
        QTest::newRow("0x7E is a tilde, not an overline") << "\x7E"_ba << u"~"_s;
        QTest::newRow("full-width tilde") << "\x81\x60"_ba << u"\uFF5E"_s;
        QTest::newRow("parallel") << "\x81\x61"_ba << u"\u2225"_s;
        QTest::newRow("full-width minus") << "\x81\x7C"_ba << u"\uFF0D"_s;
        QTest::newRow("full-width cent") << "\x81\x91"_ba << u"\uFFE0"_s;
        QTest::newRow("full-width pound") << "\x81\x92"_ba << u"\uFFE1"_s;
        QTest::newRow("full-width not") << "\x81\xCA"_ba << u"\uFFE2"_s;
        QTest::newRow("full-width backslash") << "\x81\x5F"_ba << u"\uFF3C"_s;
        QTest::newRow("circled twenty") << "\x87\x53"_ba << u"⑳"_s;
        QTest::newRow("kabushiki") << "\x87\x8A"_ba << u"㈱"_s;
        QTest::newRow("because, NEC row 13") << "\x87\x9A"_ba << u"∵"_s;
        QTest::newRow("NEC-selected IBM kanji") << "\xED\x40"_ba << u"纊"_s;
        QTest::newRow("IBM kanji") << "\xFA\x5C"_ba << u"纊"_s;
        QTest::newRow("taka, IBM") << "\xFB\xFC"_ba << u"髙"_s;
        QTest::newRow("small roman one, NEC-selected") << "\xEE\xEF"_ba << u"ⅰ"_s;
        QTest::newRow("small roman one, IBM") << "\xFA\x40"_ba << u"ⅰ"_s;
        QTest::newRow("IBM not sign") << "\xFA\x54"_ba << u"\uFFE2"_s;
        QTest::newRow("first user-defined") << "\xF0\x40"_ba << u"\uE000"_s;
        QTest::newRow("half-width katakana") << "\xB1\xDF"_ba << u"ｱﾟ"_s;
    }
    void codePage932Decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextCodec::DecodeShiftJis(bytes), text);
    }

    // The one code written for a character that has several.
    void codePage932Encoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("because: JIS row 2") << u"∵"_s << "\x81\xE6"_ba;
        QTest::newRow("nearly equal: JIS row 2") << u"≒"_s << "\x81\xE0"_ba;
        QTest::newRow("not sign: JIS row 2") << u"\uFFE2"_s << "\x81\xCA"_ba;
        QTest::newRow("kanji: IBM") << u"纊"_s << "\xFA\x5C"_ba;
        QTest::newRow("taka: IBM") << u"髙"_s << "\xFB\xFC"_ba;
        QTest::newRow("small roman one: IBM") << u"ⅰ"_s << "\xFA\x40"_ba;
        QTest::newRow("roman one: NEC row 13") << u"Ⅰ"_s << "\x87\x54"_ba;
        QTest::newRow("user-defined") << u"\uE000"_s << "\xF0\x40"_ba;
    }
    void codePage932Encoding()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(TextCodec::EncodeShiftJis(text, TextCodec::Unmappable::CharacterReference), bytes);
    }

    // Look-alikes that code page 932 lacks are not bent into the nearest
    // character: they become references, and a settings file in Shift_JIS
    // is not allowed to turn them into "?".
    void codePage932Lacks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("wave dash") << u"\u301C"_s;
        QTest::newRow("double vertical line") << u"\u2016"_s;
        QTest::newRow("minus sign") << u"\u2212"_s;
        QTest::newRow("cent sign") << u"\u00A2"_s;
        QTest::newRow("pound sign") << u"\u00A3"_s;
        QTest::newRow("not sign") << u"\u00AC"_s;
        QTest::newRow("yen sign") << u"\u00A5"_s;
        QTest::newRow("overline") << u"\u203E"_s;
        QTest::newRow("em dash") << u"\u2014"_s;
        QTest::newRow("hangul") << u"한"_s;
        QTest::newRow("beyond the BMP") << u"𠮷"_s;
        QTest::newRow("emoji") << u"🎁"_s;
    }
    void codePage932Lacks()
    {
        QFETCH(QString, text);
        const QByteArray reference =
            "&#x" + QByteArray::number(text.toUcs4().first(), 16).toUpper() + ';';
        QCOMPARE(TextCodec::EncodeShiftJis(text, TextCodec::Unmappable::CharacterReference),
                 reference);
        QCOMPARE(TextCodec::UnencodableCharacters(QString(u"ギフト"_s + text), TextEncoding::ShiftJis),
                 QStringList{text});
    }

    void installersFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("installed");
#ifdef Q_OS_WIN
        const QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
        const QString programFiles = QDir::fromNativeSeparators(qEnvironmentVariable("ProgramFiles"));
        QTest::newRow("the installer's per-user folder") << local + u"/Programs/Sorabi"_s << true;
        QTest::newRow("same, other case") << local.toUpper() + u"/PROGRAMS/sorabi"_s << true;
        QTest::newRow("same, backslashes") << QDir::toNativeSeparators(local + u"/Programs/Sorabi"_s)
                                           << true;
        QTest::newRow("Program Files") << programFiles + u"/Sorabi"_s << true;
        QTest::newRow("Program Files (x86)")
            << QDir::fromNativeSeparators(qEnvironmentVariable("ProgramFiles(x86)")) + u"/Sorabi"_s
            << true;
        QTest::newRow("a name that only begins the same") << programFiles + u"Sorabi"_s << false;
        QTest::newRow("local application data itself") << local + u"/Sorabi"_s << false;
        QTest::newRow("the user's folder") << QDir::homePath() + u"/Sorabi"_s << false;
        QTest::newRow("a folder of its own") << QDir::tempPath() + u"/Sorabi"_s << false;
#else
        // Here the folder the program was built for tells instead.
        QTest::newRow("a system folder") << u"/usr/bin"_s << false;
        QTest::newRow("the user's folder") << QDir::homePath() << false;
#endif
    }
    void installersFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, installed);
        QCOMPARE(Platform::IsInInstallersFolder(folder), installed);
    }

    // File failures are told apart the same way on both systems.
    void fileErrors()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(u"髙橋①.html"_s);
        QVERIFY(Platform::CreateNewFile(file));
        Platform::ClearFileError();
        QVERIFY(!Platform::CreateNewFile(file));
        QCOMPARE(Platform::LastFileError(), Platform::FileError::Exists);

        QCOMPARE(Platform::AppendToRegularFile(file, "abc", "\r\n"), Platform::AppendResult::Appended);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), "abc\r\n"_ba);

        Platform::ClearFileError();
        QCOMPARE(Platform::AppendToRegularFile(dir.filePath(u"missing.html"_s), "x", ""),
                 Platform::AppendResult::OpenFailed);
        QCOMPARE(Platform::LastFileError(), Platform::FileError::NotFound);
    }

    // The upload's longest progress line fits whole, clear of the bar below
    // it, in the fonts this system draws Japanese with.
    void uploadProgressFits()
    {
        frmProgress form;
        form.UseWideMessage();
        const auto* label = control<QLabel>(&form, u"lblMessage"_s);
        const QString upload = u"アップロード中  9999 / 10000 ページ（195.3 MB）  同時接続 8  123.4 ページ/秒  12.3 MB/秒"_s;
        const QRect needed = label->fontMetrics().boundingRect(label->contentsRect(), Qt::TextWordWrap, upload);
        QVERIFY2(label->contentsRect().contains(needed),
                 qPrintable(u"%1x%2 in %3x%4"_s.arg(needed.width()).arg(needed.height())
                                .arg(label->contentsRect().width()).arg(label->contentsRect().height())));
        QVERIFY(label->geometry().bottom() < control(&form, u"picProgress"_s)->geometry().top());
        // For a look at it: scripts/windows keeps the picture with its screenshots.
        const QString shots = qEnvironmentVariable("SORABI_SHOTS");
        if (!shots.isEmpty()) {
            form.SetMessage(upload);
            form.ReDraw();
            QVERIFY(form.grab().save(shots + u"/upload-progress.png"_s));
        }
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
