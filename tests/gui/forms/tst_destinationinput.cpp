// The same destination is accepted or refused alike by the three places a
// user gives it: the settings window ("アップロード設定"), F6 and
// "sorabi-batch upload" (UploadDestination owns the rules).

#include "batchrunner.h"
#include "forms/frmupload.h"
#include "forms/uploadflow.h"
#include "msgboxrecorder.h"
#include "testutil.h"
#include "widgettest.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestDestinationInput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // An accepted destination gets as far as the folder to send, which is not there.
    QString missingFolder() const { return m_dir.filePath(u"no-such-pages"_s); }

    QString settingsFile(const QString& name, const QString& host, const QString& port) const
    {
        const QString ini = m_dir.filePath(name + u".ini"_s);
        TestUtil::writeFile(ini, u"[UPLOAD]\r\nPROTOCOL=sftp\r\nHOST=%1\r\nPORT=%2\r\nUSER=shop\r\nFOLDER=\r\n"_s
                                     .arg(host, port)
                                     .toUtf8());
        return ini;
    }

    bool acceptedByWindow(const QString& host, const QString& port)
    {
        MsgBoxRecorder box;
        frmUpload window(m_dir.filePath(u"window.ini"_s));
        control<QLineEdit>(&window, "txtHost")->setText(host);
        control<QLineEdit>(&window, "txtPort")->setText(port);
        QTest::mouseClick(control<QPushButton>(&window, "cmdSave"), Qt::LeftButton);
        QFile::remove(m_dir.filePath(u"window.ini"_s));
        return window.result() == QDialog::Accepted;
    }

    bool acceptedByF6(const QString& host, const QString& port)
    {
        MsgBoxRecorder box;
        UploadFlow::SetPasswordPrompt([](const QString&) { return u"pw"_s; });
        UploadFlow::Upload(nullptr, settingsFile(u"f6"_s, host, port), missingFolder());
        UploadFlow::SetPasswordPrompt({});
        return !box.shown.isEmpty() && box.shown.last().text.contains(u"no-such-pages"_s);
    }

    bool acceptedByBatch(const QString& host, const QString& port)
    {
        const QString ini = settingsFile(u"batch"_s, host, port);
        const ProgramResult o = runBatch({u"upload"_s, u"--settings"_s, ini, missingFolder()},
                                         m_dir.path(), [](QProcess& process) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
            env.insert(u"SORABI_UPLOAD_PASSWORD"_s, u"pw"_s);
            process.setProcessEnvironment(env);
            process.setStandardInputFile(QProcess::nullDevice());
        });
        return o.exitCode == 1 && o.err.contains(u"no-such-pages"_s);
    }

private slots:
    void sameAnswerEverywhere_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("no host") << QString() << QString() << false;
        QTest::newRow("blank host") << u"  "_s << QString() << false;
        QTest::newRow("port 0") << u"example.jp"_s << u"0"_s << false;
        QTest::newRow("port 65536") << u"example.jp"_s << u"65536"_s << false;
        QTest::newRow("port abc") << u"example.jp"_s << u"abc"_s << false;
        QTest::newRow("usual port") << u"example.jp"_s << QString() << true;
        QTest::newRow("port 65535") << u"example.jp"_s << u"65535"_s << true;
        QTest::newRow("IPv6 host") << u"::1"_s << u"2222"_s << true;
    }
    void sameAnswerEverywhere()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(bool, accepted);
        QCOMPARE(acceptedByWindow(host, port), accepted);
        QCOMPARE(acceptedByF6(host, port), accepted);
        QCOMPARE(acceptedByBatch(host, port), accepted);
    }
};

QTEST_MAIN(TestDestinationInput)
#include "tst_destinationinput.moc"
