// Where the desktop program keeps its working copy, output folders and
// settings: beside itself when it may, else in the per-user folder.

#include "forms/frmmain.h"
#include "base/textcodec.h"
#include "settings/clsoption.h"
#include "forms/frmoption.h"
#include "msgboxrecorder.h"
#include "testutil.h"
#include "widgettest.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

using Shown = MsgBoxRecorder::Shown;

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QString m_oldCurrent;
    std::optional<MsgBoxRecorder> m_box;

    QString home() const { return m_dir.filePath(u"home"_s); }
    QString perUser() const { return m_dir.filePath(u"home/Sorabi"_s); }
    QString program() const { return m_dir.filePath(u"program"_s); }
    QString start() const { return m_dir.filePath(u"start"_s); }

    // The probe's answer for the program's folder; every other folder is
    // writable.
    static void programFolderWritable(const QString& programFolder, bool writable)
    {
        DataFolder::SetWritableProbe([=](const QString& folder) {
            return canonical(folder) == canonical(programFolder) ? writable : true;
        });
    }

    // A run of the sample CSV from the window; returns the one message shown.
    Shown runSample(frmMain& window)
    {
        control<QLineEdit>(&window, u"txtCsvPath")->setText(TestUtil::examples() + u"/products.csv"_s);
        window.CreatePages();
        const QList<Shown>& shown = m_box->shown;
        return shown.size() == 1
                   ? shown[0]
                   : Shown{u"(%1 messages)"_s.arg(shown.size()), MessageIcon::None, MsgBox::Buttons::Ok};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_oldHome = qgetenv("HOME");
        m_oldCurrent = QDir::currentPath();
    }
    void init()
    {
        for (const QString& folder : {home(), program(), start()}) {
            QDir(folder).removeRecursively();
            QVERIFY(QDir().mkpath(folder));
        }
        qputenv("HOME", QFile::encodeName(home()));
        // No header picture to fetch from the network.
        frmOption::SetPreviewBaseUrl(m_dir.filePath(u"no-pictures/"_s));
        QVERIFY(QDir::setCurrent(start()));
        m_box.emplace();
    }
    void cleanup()
    {
        m_box.reset();
        DataFolder::SetWritableProbe({});
        frmOption::SetPreviewBaseUrl(QString());
        qputenv("HOME", m_oldHome);
        QDir::setCurrent(m_oldCurrent);
    }

    void perUserFolderIsInHome()
    {
        QCOMPARE(DataFolder::PerUserFolder(), perUser());
    }

    void choice_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("expectPerUser");
        QTest::newRow("writable program folder") << true << false << false << false;
        QTest::newRow("program folder not writable") << false << false << false << true;
        QTest::newRow("install folder, writable by an administrator") << true << true << false << true;
        QTest::newRow("install folder, not writable") << false << true << false << true;
        QTest::newRow("asked for by the desktop entry") << true << false << true << true;
    }
    void choice()
    {
        QFETCH(bool, writable);
        QFETCH(bool, installed);
        QFETCH(bool, asked);
        QFETCH(bool, expectPerUser);
        QString folder = program();
        if (installed) {
            folder = DataFolder::InstalledProgramFolder();
            if (folder.isEmpty() || !QFileInfo(folder).isDir())
                QSKIP("the install folder does not exist here");
        }
        programFolderWritable(folder, writable);
        frmMain window;
        window.Folder().SetProgramFolder(folder);
        QVERIFY(window.ChooseDataFolder(asked));
        QVERIFY(m_box->shown.isEmpty());
        QCOMPARE(window.Folder().IsPerUser(), expectPerUser);
        QCOMPARE(QFileInfo(perUser()).isDir(), expectPerUser);
        QCOMPARE(canonical(window.Folder().Path()), canonical(expectPerUser ? perUser() : folder));
        // The working folder, where "option.ini" is looked for.
        QCOMPARE(canonical(QDir::currentPath()), canonical(expectPerUser ? perUser() : start()));
    }

    void programFolderRun_asBefore()
    {
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, start() + u"/option.ini"_s));
        programFolderWritable(program(), true);
        frmMain window;
        window.Folder().SetProgramFolder(program());
        QVERIFY(window.ChooseDataFolder());
        const Shown done = runSample(window);
        QCOMPARE(done.text, u"ホームページを作成しました。"_s);
        QCOMPARE(done.icon, MessageIcon::Information);
        QCOMPARE(canonical(QFileInfo(window.LastOutputFolder()).path()), canonical(program()));
        QCOMPARE(QDir(window.LastOutputFolder()).entryList(QDir::Files).size(), 25);
        QVERIFY(QFileInfo::exists(program() + u"/articles.csv"_s));
        QVERIFY(!QFileInfo::exists(perUser()));
    }

    void perUserRun_namesTheFolder()
    {
        QVERIFY(QDir().mkpath(perUser()));
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, perUser() + u"/option.ini"_s));
        programFolderWritable(program(), false);
        frmMain window;
        window.Folder().SetProgramFolder(program());
        QVERIFY(window.ChooseDataFolder());
        const Shown done = runSample(window);
        const QString folder = window.LastOutputFolder();
        QCOMPARE(canonical(QFileInfo(folder).path()), canonical(perUser()));
        QCOMPARE(done.text, u"ホームページを作成しました。\r\n\r\n保存先: "_s + QDir::toNativeSeparators(folder));
        QCOMPARE(done.icon, MessageIcon::Information);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 25);
        QVERIFY(QFileInfo::exists(perUser() + u"/articles.csv"_s));
        // The settings came from the per-user folder (the start folder has none).
        clsOption settings(perUser() + u"/option.ini"_s);
        settings.GetOptionIniValue();
        QVERIFY(!settings.ShopID().isEmpty());
        QVERIFY(TestUtil::readFile(folder + u"/A1001.html"_s)
                    .contains(TextCodec::EncodeShiftJis(settings.ShopID())));
        QVERIFY(QDir(program()).isEmpty());
    }

    void perUserFirstStart_settingsSavedThere()
    {
        // A settings file in the folder the program was started from is not
        // the per-user one.
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, start() + u"/option.ini"_s));
        programFolderWritable(program(), false);
        frmMain window;
        window.Folder().SetProgramFolder(program());
        QVERIFY(window.ChooseDataFolder());
        QString modal;
        ModalWatcher watcher([&](QWidget* w) {
            modal = w->objectName();
            control<QLineEdit>(w, u"txtSiteName")->setText(u"暮らしの道具店"_s);
            control<QPushButton>(w, u"cmdSave")->click();
        });
        window.Startup();
        QCOMPARE(modal, u"frmOption"_s);
        QVERIFY(QFileInfo::exists(perUser() + u"/option.ini"_s));
        const QByteArray siteName = "SITENAME=" + TextCodec::EncodeShiftJis(u"暮らしの道具店"_s);
        QVERIFY(TestUtil::readFile(perUser() + u"/option.ini"_s).contains(siteName));
        QCOMPARE(TestUtil::readFile(start() + u"/option.ini"_s),
                 TestUtil::readFile(TestUtil::examples() + u"/option.ini"_s));
    }

    void perUserFolderKept_noSettingsWindowOnceSaved()
    {
        QVERIFY(QDir().mkpath(perUser()));
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, perUser() + u"/option.ini"_s));
        QVERIFY(TestUtil::writeFile(perUser() + u"/keep.txt"_s, "mine"));
        programFolderWritable(program(), false);
        frmMain window;
        window.Folder().SetProgramFolder(program());
        QVERIFY(window.ChooseDataFolder());
        QString modal = u"none"_s;
        ModalWatcher watcher([&](QWidget* w) {
            modal = w->objectName();
            w->close();
        });
        window.Startup();
        QTest::qWait(50);
        QCOMPARE(modal, u"none"_s);
        QCOMPARE(TestUtil::readFile(perUser() + u"/keep.txt"_s), QByteArray("mine"));
    }

    void perUserFolderCannotBeMade_told()
    {
        // The home "folder" is a file, so nothing can be made inside it.
        QDir(home()).removeRecursively();
        QVERIFY(TestUtil::writeFile(home(), "not a folder"));
        programFolderWritable(program(), false);
        frmMain window;
        window.Folder().SetProgramFolder(program());
        QVERIFY(!window.ChooseDataFolder());
        QVERIFY(!window.Folder().IsPerUser());
        QCOMPARE(m_box->shown.size(), 1);
        QCOMPARE(m_box->shown[0].icon, MessageIcon::Critical);
        QVERIFY(m_box->shown[0].text.contains(QDir::toNativeSeparators(perUser())));
        QCOMPARE(canonical(QDir::currentPath()), canonical(start()));
        QVERIFY(QFile::remove(home()));
    }

    void writableProbe_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("writable");
        QTest::newRow("an existing folder") << u"program"_s << true;
        QTest::newRow("a missing folder") << u"program/missing"_s << false;
        QTest::newRow("a file") << u"program/file.txt"_s << false;
        QTest::newRow("below a file") << u"program/file.txt/below"_s << false;
        QTest::newRow("empty path") << QString() << false;
    }
    void writableProbe()
    {
        QFETCH(QString, path);
        QFETCH(bool, writable);
        QVERIFY(TestUtil::writeFile(program() + u"/file.txt"_s, "x"));
        const QString folder = path.isEmpty() ? QString() : m_dir.filePath(path);
        QCOMPARE(DataFolder::IsFolderWritable(folder), writable);
        // The probe leaves nothing behind.
        QCOMPARE(QDir(program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"file.txt"_s});
    }
};

QTEST_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
