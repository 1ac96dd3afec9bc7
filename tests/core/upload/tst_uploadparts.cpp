// The upload's pieces that need no server: the listing reader, the
// destination in option.ini, the manifest.

#include "base/textcodec.h"
#include "testdata.h"
#include "testutil.h"
#include "upload/destination.h"
#include "upload/remotelisting.h"
#include "upload/uploadmessages.h"
#include "upload/uploadstate.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using Sizes = QHash<QString, qint64>;

class TestUploadParts : public QObject
{
    Q_OBJECT

private slots:
    void listing_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<Sizes>("files");
        QTest::newRow("vsftpd")
            << QByteArray("-rw-r--r--    1 1001     1001         1234 Dec 08 12:51 a.html\r\n"
                          "drwxr-xr-x    2 1001     1001         4096 Dec 08 12:51 img\r\n")
            << Sizes{{u"a.html"_s, 1234}};
        QTest::newRow("openssh long names, dot entries")
            << QByteArray("-rw-r--r--    1 user     group           6 Dec  8 12:51 a.html\n"
                          "drwxr-xr-x    2 user     group        4096 Dec  8 12:51 .\n"
                          "drwxr-xr-x    3 user     group        4096 Dec  8 12:51 ..\n")
            << Sizes{{u"a.html"_s, 6}};
        QTest::newRow("blanks and UTF-8 in names, older dates with a year")
            << QByteArray("-rw-r--r-- 1 u g 10 Jan  1  2020 my page.html\n"
                          "-rw-r--r-- 1 u g 11 Jan  1 10:00 \xe5\x95\x86\xe5\x93\x81.html\n")
            << Sizes{{u"my page.html"_s, 10}, {u"商品.html"_s, 11}};
        QTest::newRow("links are no pages")
            << QByteArray("lrwxrwxrwx 1 u g 5 Jan 1 10:00 b.html -> a.html\n") << Sizes{};
        QTest::newRow("MS-DOS form")
            << QByteArray("12-08-26  12:00PM                 1234 a.html\r\n"
                          "12-08-26  12:00PM       <DIR>          img\r\n")
            << Sizes{{u"a.html"_s, 1234}};
        QTest::newRow("garbage") << QByteArray("total 12\n\n-rw x\n\x01\x02\n") << Sizes{};
    }
    void listing()
    {
        QFETCH(QByteArray, listing);
        QFETCH(Sizes, files);
        QCOMPARE(ParseRemoteListing(listing), files);
    }

    // The [UPLOAD] keys go in and out through the settings store, in the
    // file's own encoding; the rest of the file stays byte for byte.
    void destinationKeepsTheRestOfTheFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("folderBytes");
        QTest::newRow("Shift_JIS file") << TestData::settingsFile({u"1"_s, u"店"_s}) + "; note\r\n"
                                        << TextCodec::EncodeShiftJis(u"商品"_s);
        QTest::newRow("UTF-8 file") << QByteArray("[OPTION]\r\nSITENAME=\xe5\xba\x97\r\n")
                                    << QByteArray("\xe5\x95\x86\xe5\x93\x81");
    }
    void destinationKeepsTheRestOfTheFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, folderBytes);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"option.ini"_s);
        QVERIFY(TestUtil::writeFile(ini, before));
        UploadDestination d;
        d.protocol = UploadProtocol::Sftp;
        d.host = u"example.jp"_s;
        d.port = 2222;
        d.user = u"shop"_s;
        d.folder = u"public_html/商品"_s;
        QVERIFY(d.Save(ini));
        const QByteArray after = TestUtil::readFile(ini);
        QVERIFY(after.startsWith(before));
        QVERIFY(after.contains("[UPLOAD]\r\nPROTOCOL=sftp\r\nHOST=example.jp\r\nPORT=2222\r\n"));
        QVERIFY(after.contains(QByteArray("FOLDER=public_html/" + folderBytes + "\r\n")));
        UploadDestination loaded;
        QString failure;
        QVERIFY(UploadDestination::Load(ini, &loaded, &failure));
        QCOMPARE(loaded.Identity(), d.Identity());
        QCOMPARE(loaded.folder, d.folder);
    }

    void destinationRefusesBadValues_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<int>("port");
        QTest::newRow("nothing: FTPS on 21") << QByteArray() << true << 21;
        QTest::newRow("sftp in capitals") << QByteArray("PROTOCOL=SFTP\r\n") << true << 22;
        QTest::newRow("unknown protocol") << QByteArray("PROTOCOL=http\r\n") << false << 0;
        QTest::newRow("port not a number") << QByteArray("PORT=2l\r\n") << false << 0;
        QTest::newRow("port out of range") << QByteArray("PORT=70000\r\n") << false << 0;
    }
    void destinationRefusesBadValues()
    {
        QFETCH(QByteArray, section);
        QFETCH(bool, loads);
        QFETCH(int, port);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"option.ini"_s);
        QVERIFY(TestUtil::writeFile(ini, "[UPLOAD]\r\nHOST=h\r\n" + section));
        UploadDestination d;
        QString failure;
        QCOMPARE(UploadDestination::Load(ini, &d, &failure), loads);
        QCOMPARE(failure.isEmpty(), loads);
        if (loads)
            QCOMPARE(d.EffectivePort(), port);
    }

    void manifestRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = UploadManifest::PathFor(dir.path(), u"ftps://u@h:21/x"_s);
        QVERIFY(path != UploadManifest::PathFor(dir.path(), u"ftps://u@h:21/y"_s));
        UploadManifest m;
        m.entries.insert(u"my page.html"_s, {QByteArray(32, '\x01'), 12});
        m.entries.insert(u"商品.html"_s, {QByteArray(32, '\xff'), 0});
        QVERIFY(m.Save(path));
        UploadManifest loaded;
        loaded.Load(path);
        QCOMPARE(loaded.entries.size(), 2);
        QCOMPARE(loaded.entries.value(u"my page.html"_s).size, 12);
        QCOMPARE(loaded.entries.value(u"商品.html"_s).sha256, QByteArray(32, '\xff'));
        // A damaged manifest only means sending again.
        QVERIFY(TestUtil::writeFile(path, "garbage"));
        loaded.Load(path);
        QVERIFY(loaded.entries.isEmpty());
    }

    // A message names what happened, in Japanese: no library's English
    // text, no empty page name where no page was being sent.
    void failureMessages_data()
    {
        using F = RemoteSession::Failure;
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("refused") << int(F::Refused) << QString()
                                 << u"サーバー h.example:21 に接続できません。ホスト名、ポート番号、プロトコルを確かめてください。"_s;
        QTest::newRow("lost, no page") << int(F::ConnectionLost) << QString()
                                       << u"サーバー h.example:21 との接続が途中で切れました。少し待ってから、もう一度試してください。"_s;
        QTest::newRow("lost while sending")
            << int(F::ConnectionLost) << u"A1.html"_s
            << u"「A1.html」を送っている途中で、サーバー h.example:21 との接続が切れました。"_s;
    }
    void failureMessages()
    {
        QFETCH(int, failure);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        UploadDestination d;
        d.host = u"h.example"_s;
        d.port = 21;
        const QString text = UploadMessages::Failure({.failure = RemoteSession::Failure(failure),
                                                      .destination = d,
                                                      .detail = u"Couldn't connect to server"_s,
                                                      .fingerprint = {},
                                                      .file = file});
        QCOMPARE(text, expected);
    }

    void fingerprintIsOpenSshStyle()
    {
        // ssh-keygen -lf prints this for the empty key blob's digest.
        QCOMPARE(KeyFingerprint(""), u"SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU"_s);
        // A certificate's: 32 upper-case hex pairs, as openssl x509 -fingerprint.
        QCOMPARE(CertificateFingerprint(""),
                 u"E3:B0:C4:42:98:FC:1C:14:9A:FB:F4:C8:99:6F:B9:24:"
                 "27:AE:41:E4:64:9B:93:4C:A4:95:99:1B:78:52:B8:55"_s);
    }
};

QTEST_GUILESS_MAIN(TestUploadParts)
#include "tst_uploadparts.moc"
