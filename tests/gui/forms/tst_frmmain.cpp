#include "forms/frmmain.h"
#include "generation/generationrun.h"
#include "widgets/msgbox.h"
#include "widgets/shell.h"
#include "forms/frmoption.h"
#include "batchrunner.h"
#include "msgboxrecorder.h"
#include "testutil.h"
#include "widgettest.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

class TestFrmMain : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::optional<MsgBoxRecorder> m_box;

    // The window shown with a fresh program folder and the sample CSV chosen.
    QString onTheSample(frmMain& window)
    {
        const QString program = m_dir.filePath(u"program"_s);
        QDir().mkpath(program);
        window.Folder().SetProgramFolder(program);
        window.show();
        control<QLineEdit>(&window, u"txtCsvPath")->setText(TestUtil::examples() + u"/products.csv"_s);
        return program;
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        QDir::setCurrent(m_dir.path());
        // A preview that fails at once: nothing here may wait for a network.
        frmOption::SetPreviewBaseUrl(u"http://127.0.0.1:9/"_s);
        m_box.emplace();
    }
    void cleanup()
    {
        m_box.reset();
        frmOption::SetPreviewBaseUrl(QString());
        frmMain::SetFileDialogRunner({});
        Shell::SetUrlOpener({});
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("fraMain") << u"fraMain"_s << QRect(28, 0, 741, 605) << QString();
        QTest::newRow("txtCsvPath") << u"txtCsvPath"_s << QRect(188, 152, 445, 27) << QString();
        QTest::newRow("cmdView") << u"cmdView"_s << QRect(636, 152, 65, 25) << u"参照"_s;
        QTest::newRow("fraButton") << u"fraButton"_s << QRect(20, 544, 701, 41) << QString();
        QTest::newRow("cmdSupport") << u"cmdSupport"_s << QRect(392, 0, 309, 41)
                                    << u"他のテンプレートはサポートページにて"_s;
        QTest::newRow("cmdEnd") << u"cmdEnd"_s << QRect(108, 0, 101, 41) << u"終了"_s;
        QTest::newRow("cmdExec") << u"cmdExec"_s << QRect(0, 0, 101, 41) << u"作成"_s;
        QTest::newRow("Image2") << u"Image2"_s << QRect(120, 204, 500, 60) << QString();
        QTest::newRow("imgTemplate") << u"imgTemplate"_s << QRect(188, 280, 363, 239) << QString();
        QTest::newRow("Image1") << u"Image1"_s << QRect(20, 8, 700, 100) << QString();
        QTest::newRow("Label1") << u"Label1"_s << QRect(19, 140, 150, 48)
                                << u"\r\nＣＳＶファイル"_s;
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* widget = window.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), caption);
        if (auto* label = qobject_cast<QLabel*>(widget); label && !caption.isEmpty())
            QCOMPARE(label->text(), caption);
        if (auto* label = qobject_cast<QLabel*>(widget); label && name.startsWith(u"Im"_s))
            QVERIFY(!label->pixmap().isNull());
    }

    void windowAndStatusBar()
    {
        frmMain window;
        window.show();
        QCOMPARE(window.windowTitle(), u"Sorabi Ver. "_s + TestUtil::version());
        QVERIFY(!window.windowIcon().isNull());
        QCOMPARE(window.centralWidget()->width(), 797);
        QCOMPARE(window.centralWidget()->height() + window.statusBar()->height(), 655);
        QCOMPARE(window.statusBar()->objectName(), u"StatusBar1"_s);
        QCOMPARE(window.statusBar()->height(), 29);
        QCOMPARE(window.StatusText(), QString());
        QCOMPARE(window.centralWidget()->palette().color(QPalette::Window), QColor(0xAA, 0xAA, 0xFF));
        QCOMPARE(control<QWidget>(&window, u"fraMain")->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(control<QWidget>(&window, u"Line3")->palette().color(QPalette::Window), QColor(0xCC, 0xCC, 0xFF));
    }

    void menus()
    {
        frmMain window;
        const QList<QAction*> top = window.menuBar()->actions();
        QCOMPARE(top.size(), 3);
        QCOMPARE(top[0]->text(), u"ファイル(&F)"_s);
        QCOMPARE(top[1]->text(), u"オプション(&O)"_s);
        QCOMPARE(top[2]->text(), u"ヘルプ(&H)"_s);
        QList<QAction*> file = top[0]->menu()->actions();
#ifdef SORABI_HAVE_UPLOAD
        // "アップロード" (F6, tst_frmupload) stands between "作成" and the rest.
        QCOMPARE(file.value(1)->objectName(), u"mnuFileUpload"_s);
        file.removeAt(1);
#endif
        QCOMPARE(file.size(), 5);
        QCOMPARE(file[0]->objectName(), u"mnuFileExec"_s);
        QCOMPARE(file[0]->text(), u"作成"_s);
        QCOMPARE(file[0]->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(file[1]->text(), u"出力フォルダを開く"_s);
        QCOMPARE(file[2]->text(), u"ページをブラウザで表示"_s);
        QVERIFY(file[3]->isSeparator());
        QCOMPARE(file[4]->text(), u"終了(&X)"_s);
        QCOMPARE(top[1]->menu()->actions().value(0)->text(), u"サイト情報登録..."_s);
        QCOMPARE(top[2]->menu()->actions().value(0)->text(), u"バージョン情報(&V)..."_s);
        // The preview items wait for an output folder (previewOfTheNewestFolder).
        for (QAction* action : window.findChildren<QAction*>()) {
            if (action != file[1] && action != file[2])
                QVERIFY(action->isEnabled() && !action->isCheckable());
        }
    }

    void tabOrderAndEnter()
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* path = control<QLineEdit>(&window, u"txtCsvPath");
        path->setFocus();
        QStringList order;
        for (int i = 0; i < 5; ++i) {
            order.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, (QStringList{u"txtCsvPath"_s, u"cmdView"_s, u"cmdExec"_s, u"cmdEnd"_s,
                                     u"cmdSupport"_s}));
        path->setFocus();
        path->setText(u"abc"_s);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"cmdView"_s);
        QCOMPARE(path->text(), u"abc"_s);
        // Enter on the run button moves on too, and starts nothing.
        control<QPushButton>(&window, u"cmdExec")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"cmdEnd"_s);
        QVERIFY(m_box->shown.isEmpty());
    }

    void recentring_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("left");
        QTest::newRow("restored") << 797 << 28;
        QTest::newRow("wide") << 1000 << 129;
        QTest::newRow("narrow") << 600 << -71;
    }
    void recentring()
    {
        QFETCH(int, width);
        QFETCH(int, left);
        frmMain window;
        window.show();
        window.resize(width, window.height());
        QTRY_COMPARE(window.centralWidget()->width(), width);
        QCOMPARE(control<QWidget>(&window, u"fraMain")->x(), left);
        QCOMPARE(control<QWidget>(&window, u"fraMain")->y(), 0);
    }

    void fileDialog()
    {
        frmMain window;
        auto* path = control<QLineEdit>(&window, u"txtCsvPath");
        path->setText(u"typed by hand.csv"_s);
        QString title;
        QStringList proposed;
        QStringList filters;
        QString folder;
        std::optional<QString> answer;
        frmMain::SetFileDialogRunner([&](QFileDialog& dialog) {
            title = dialog.windowTitle();
            proposed = dialog.selectedFiles();
            filters = dialog.nameFilters();
            folder = dialog.directory().absolutePath();
            return answer;
        });
        QTest::mouseClick(control<QPushButton>(&window, u"cmdView"), Qt::LeftButton);
        QCOMPARE(title, u"商品データCSVファイルを指定してください。"_s);
        QCOMPARE(filters, QStringList{u"CSV ファイル (*.csv)"_s});
        QVERIFY(proposed.value(0).endsWith(u"article.csv"_s));
        QCOMPARE(folder, QDir(frmMain::DialogStartFolder()).absolutePath());
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        if (QFileInfo(desktop).isDir())
            QCOMPARE(folder, QDir(desktop).absolutePath());
        QCOMPARE(path->text(), u"typed by hand.csv"_s); // cancelled

        answer = m_dir.filePath(u"chosen.csv"_s);
        QTest::mouseClick(control<QPushButton>(&window, u"cmdView"), Qt::LeftButton);
        QCOMPARE(path->text(), QDir::toNativeSeparators(m_dir.filePath(u"chosen.csv"_s)));
    }

    void supportPage()
    {
        frmMain window;
        QList<QUrl> opened;
        Shell::SetUrlOpener([&](const QUrl& url) { opened.append(url); });
        QTest::mouseClick(control<QPushButton>(&window, u"cmdSupport"), Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl(u"https://www.hotaru-soft.example/sorabi/support/"_s)});
    }

    // "出力フォルダを開く" and "ページをブラウザで表示": disabled until an
    // output folder exists; then the newest folder, and its index.html or
    // else its first page, through the shell.
    void previewOfTheNewestFolder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("shown");
        QTest::newRow("list page") << QStringList{u"A1.html"_s, u"index.html"_s} << u"index.html"_s;
        QTest::newRow("first page") << QStringList{u"B2.html"_s, u"A1.html"_s} << u"A1.html"_s;
    }
    void previewOfTheNewestFolder()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, shown);
        const QString program = m_dir.filePath(u"preview"_s);
        QVERIFY(QDir().mkpath(program));
        frmMain window;
        window.Folder().SetProgramFolder(program);
        QList<QUrl> opened;
        Shell::SetUrlOpener([&](const QUrl& url) { opened.append(url); });
        auto* menu = window.findChild<QMenu*>(u"mnuFile"_s);
        auto* openFolder = window.findChild<QAction*>(u"mnuFileOpenFolder"_s);
        auto* browse = window.findChild<QAction*>(u"mnuFileBrowse"_s);
        emit menu->aboutToShow();
        QVERIFY(!openFolder->isEnabled() && !browse->isEnabled());

        const QString newest = program + u"/20260102030405"_s;
        QVERIFY(QDir().mkpath(newest));
        QVERIFY(QDir().mkpath(program + u"/20250101000000"_s));
        for (const QString& file : files)
            QVERIFY(TestUtil::writeFile(newest + u'/' + file, "<html></html>"));
        emit menu->aboutToShow();
        QVERIFY(openFolder->isEnabled() && browse->isEnabled());
        openFolder->trigger();
        browse->trigger();
        QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(newest),
                                      QUrl::fromLocalFile(newest + u'/' + shown)}));
    }

    void everyStartCommandRuns()
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::mouseClick(control<QPushButton>(&window, u"cmdExec"), Qt::LeftButton);
        QTest::keyClick(&window, Qt::Key_F5);
        window.findChild<QAction*>(u"mnuFileExec"_s)->trigger();
        QCOMPARE(m_box->shown.size(), 3);
        for (const MsgBoxRecorder::Shown& shown : m_box->shown) {
            QCOMPARE(shown.text, u"CSVファイルに指定したパスは無効です。"_s);
            QCOMPARE(shown.icon, MessageIcon::Exclamation);
        }
    }

    void aRunFromTheWindow()
    {
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, m_dir.filePath(u"option.ini"_s)));
        frmMain window;
        const QString program = onTheSample(window);
        QStringList statusSeen;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            if (statusSeen.isEmpty() || statusSeen.last() != window.StatusText())
                statusSeen.append(window.StatusText());
        });
        probe.start(0);
        window.CreatePages();
        QCOMPARE(m_box->shown.size(), 1);
        QCOMPARE(m_box->shown[0].text, u"ホームページを作成しました。"_s);
        QCOMPARE(m_box->shown[0].icon, MessageIcon::Information);
        QVERIFY(statusSeen.contains(u"ホームページを作成しています..."_s));
        QCOMPARE(window.StatusText(), QString());
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(QDir(window.LastOutputFolder()).entryList(QDir::Files).size(), 25);
        QVERIFY(window.findChild<QAction*>(u"mnuFileBrowse"_s)->isEnabled());
        QVERIFY(!QFile::exists(UnfinishedMarkerPath(window.LastOutputFolder())));
        QVERIFY(QFileInfo::exists(program + u"/articles.csv"_s));
        QVERIFY(QApplication::topLevelWidgets().size() < 10);

        // The headless front end writes the same folder, byte for byte.
        const ProgramResult batch = runBatch(
            {u"--output-dir"_s, m_dir.path(), TestUtil::examples() + u"/products.csv"_s}, m_dir.path());
        QCOMPARE(batch.exitCode, 0);
        QVERIFY(TestUtil::folderContents(batch.outputFolder())
                == TestUtil::folderContents(window.LastOutputFolder()));
    }

    // Empty site settings (the first-start window cancelled): asked once
    // before the run, not per line; No opens the site settings instead.
    void noShopIdAsksOnceBeforeTheRun_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("yes: the pages are made") << true;
        QTest::newRow("no: the site settings open, nothing is made") << false;
    }
    void noShopIdAsksOnceBeforeTheRun()
    {
        QFETCH(bool, goOn);
        frmMain window;
        const QString program = onTheSample(window);
        m_box->answers = {goOn ? MsgBox::Answer::Yes : MsgBox::Answer::No};
        QString opened = u"none"_s;
        ModalWatcher watcher([&](QWidget* modal) {
            opened = modal->objectName();
            control<QPushButton>(modal, u"cmdCancel")->click();
        });
        window.CreatePages();
        QVERIFY(!m_box->shown.isEmpty());
        const MsgBoxRecorder::Shown& question = m_box->shown[0];
        QCOMPARE(question.icon, MessageIcon::Question);
        QCOMPARE(question.buttons, MsgBox::Buttons::YesNo); // No is the default
        QVERIFY(question.text.startsWith(MissingShopIdText()));
        QVERIFY(question.text.contains(u"ショップIDなしで作成しますか？"_s));
        if (goOn) {
            QCOMPARE(m_box->shown.size(), 2); // the question once, then the completion
            QCOMPARE(m_box->shown[1].text, u"ホームページを作成しました。"_s);
            QCOMPARE(opened, u"none"_s);
            QCOMPARE(QDir(window.LastOutputFolder()).entryList(QDir::Files).size(), 25);
        } else {
            QCOMPARE(m_box->shown.size(), 1);
            QCOMPARE(opened, u"frmOption"_s);
            QVERIFY(window.LastOutputFolder().isEmpty());
            QCOMPARE(QDir(program).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
        }
    }

    void closingDuringARunCancelsIt()
    {
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, m_dir.filePath(u"option.ini"_s)));
        frmMain window;
        const QString program = onTheSample(window);
        // A second start and the close both arrive while line 1 is shown.
        QTimer::singleShot(0, &window, [&] {
            control<QPushButton>(&window, u"cmdExec")->click();
            window.close();
        });
        window.CreatePages();
        QVERIFY(m_box->shown.isEmpty()); // no question, no completion
        QVERIFY(!window.isVisible());
        const QStringList pages = QDir(window.LastOutputFolder()).entryList(QDir::Files);
        QVERIFY(pages.size() < 25);
    }

    void settingsWindowFirstOnFirstStart()
    {
        frmMain window;
        bool mainVisibleMeanwhile = true;
        QString shownFirst;
        ModalWatcher watcher([&](QWidget* modal) {
            shownFirst = modal->objectName();
            mainVisibleMeanwhile = window.isVisible();
            control<QPushButton>(modal, u"cmdCancel")->click();
        });
        window.Startup();
        QCOMPARE(shownFirst, u"frmOption"_s);
        QVERIFY(!mainVisibleMeanwhile);
        QVERIFY(window.isVisible());
        QTRY_VERIFY(window.isMaximized());
        QVERIFY(!QFileInfo::exists(u"option.ini"_s));
    }

    void noSettingsWindowOnceSaved()
    {
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, m_dir.filePath(u"option.ini"_s)));
        frmMain window;
        QString modal = u"none"_s;
        ModalWatcher watcher([&](QWidget* w) {
            modal = w->objectName();
            w->close();
        });
        window.Startup();
        QTest::qWait(50);
        QCOMPARE(modal, u"none"_s);
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(&window, u"txtCsvPath"));
    }

    void menusOpenTheirWindows_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("window");
        QTest::newRow("settings") << u"mnuOptionSite"_s << u"frmOption"_s;
        QTest::newRow("about") << u"mnuHelpVersion"_s << u"frmAbout"_s;
    }
    void menusOpenTheirWindows()
    {
        QFETCH(QString, action);
        QFETCH(QString, window);
        frmMain main;
        main.show();
        QString opened;
        ModalWatcher watcher([&](QWidget* modal) {
            opened = modal->objectName();
            modal->close();
        });
        main.findChild<QAction*>(action)->trigger();
        QCOMPARE(opened, window);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
