#include "base/basfile.h"
#include "base/clstextfile.h"
#include "base/textcodec.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTextFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) { return m_dir.filePath(name); }

private slots:
    void isFileExists()
    {
        QVERIFY(TestUtil::writeFile(path(u"there.txt"_s), "x"));
        QVERIFY(basFile::IsFileExists(path(u"there.txt"_s)));
        QVERIFY(!basFile::IsFileExists(path(u"missing.txt"_s)));
        QVERIFY(!basFile::IsFileExists(m_dir.path()));
        QVERIFY(!basFile::IsFileExists(QString()));
        QVERIFY(!basFile::IsFileExists(path(u"there.txt"_s) + QChar(0) + u"x"_s));
        QVERIFY(!basFile::IsFileExists(path(u"there.txt/below"_s)));
    }

    void relativePathUsesWorkingFolder()
    {
        const QString before = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        QVERIFY(TestUtil::writeFile(u"relative.txt"_s, "x"));
        QVERIFY(basFile::IsFileExists(u"relative.txt"_s));
        QVERIFY(basFile::IsFileExists(u"./relative.txt"_s));
        QDir::setCurrent(before);
        QVERIFY(!basFile::IsFileExists(u"relative.txt"_s));
    }

    void writeMissingFileCreatesNothing()
    {
        clsTextFile file;
        QVERIFY(!file.WriteText(path(u"nope.txt"_s), u"x"_s));
        QCOMPARE(file.Message(), u"ファイルが見つかりません。"_s);
        QVERIFY(!QFile::exists(path(u"nope.txt"_s)));
    }

    void missingFile_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("read") << 0;
        QTest::newRow("write") << 1;
        QTest::newRow("clear") << 2;
    }
    void missingFile()
    {
        QFETCH(int, operation);
        clsTextFile file;
        QString text = u"kept"_s;
        const QString missing = path(u"missing-%1.txt"_s.arg(operation));
        bool ok = true;
        if (operation == 0)
            ok = file.ReadText(missing, text);
        else if (operation == 1)
            ok = file.WriteText(missing, u"x"_s);
        else
            ok = file.ClearText(missing);
        QVERIFY(!ok);
        QCOMPARE(file.Message(), u"ファイルが見つかりません。"_s);
        QCOMPARE(text, u"kept"_s);
        QVERIFY(!QFile::exists(missing));
    }

    void writeEmptyLeavesFileAlone()
    {
        const QString p = path(u"empty-write.txt"_s);
        QVERIFY(TestUtil::writeFile(p, "abc"));
        clsTextFile file;
        QVERIFY(file.WriteText(p, QString()));
        QCOMPARE(TestUtil::readFile(p), "abc"_ba);
    }

    void writeTwiceAppendsBoth()
    {
        const QString p = path(u"twice.txt"_s);
        clsTextFile file;
        QVERIFY(file.CreateText(p));
        QVERIFY(file.WriteText(p, u"一行目"_s));
        QVERIFY(file.WriteText(p, u"second"_s));
        QCOMPARE(TestUtil::readFile(p), TextCodec::EncodeShiftJis(u"一行目\r\nsecond\r\n"_s));
    }

    void writeUnmappableAsReference()
    {
        const QString p = path(u"emoji.txt"_s);
        clsTextFile file;
        QVERIFY(file.CreateText(p));
        QVERIFY(file.WriteText(p, u"a😀〜"_s));
        QCOMPARE(TestUtil::readFile(p), "a&#x1F600;&#x301C;\r\n"_ba);
    }

    void createKeepsExistingFile()
    {
        const QString p = path(u"existing.txt"_s);
        QVERIFY(TestUtil::writeFile(p, "old\r\n"));
        clsTextFile file;
        QVERIFY(file.CreateText(p));
        QCOMPARE(TestUtil::readFile(p), "old\r\n"_ba);
        QVERIFY(file.WriteText(p, u"new"_s));
        QCOMPARE(TestUtil::readFile(p), "old\r\nnew\r\n"_ba);
    }

    void createFailures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("missing folder") << u"no-such-folder/a.html"_s << 76;
        QTest::newRow("below a file") << u"plain.txt/a.html"_s << 76;
        QTest::newRow("a folder is there") << u"folder"_s << 75;
        QTest::newRow("name too long") << QString(300, u'x') + u".html"_s << 52;
        QTest::newRow("empty") << QString() << 52;
    }
    void createFailures()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        QVERIFY(TestUtil::writeFile(path(u"plain.txt"_s), "x"));
        QDir(m_dir.path()).mkdir(u"folder"_s);
        clsTextFile file;
        QVERIFY(!file.CreateText(name.isEmpty() ? name : path(name)));
        QVERIFY2(file.Message().startsWith(QString::number(number) + u':'),
                 qPrintable(file.Message()));
        QVERIFY(file.Message().size() > 3);
    }

    // The one-opening write a run uses must end as the two steps do, with
    // the same file and the same message.
    void createAndWriteEqualsTwoSteps_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"new file", "existing file", "missing folder", "folder in the way",
                                 "below a file", "FIFO in the way", "name too long"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void createAndWriteEqualsTwoSteps()
    {
        QFETCH(QString, kind);
        QString outcome[2];
        for (int way = 0; way < 2; ++way) {
            QTemporaryDir dir;
            const QString folder = dir.path();
            QString target = folder + u"/page.html"_s;
            if (kind == u"existing file")
                QVERIFY(TestUtil::writeFile(target, "before\r\n"));
            else if (kind == u"missing folder")
                target = folder + u"/missing/page.html"_s;
            else if (kind == u"folder in the way")
                QVERIFY(QDir().mkpath(target));
            else if (kind == u"below a file") {
                QVERIFY(TestUtil::writeFile(folder + u"/file"_s, "x"));
                target = folder + u"/file/page.html"_s;
            }
            else if (kind == u"FIFO in the way")
                QVERIFY(QProcess::execute(u"mkfifo"_s, {target}) == 0);
            else if (kind == u"name too long")
                target = folder + u'/' + QString(300, u'x') + u".html"_s;
            clsTextFile file;
            const bool ok = way == 0 ? file.CreateText(target) && file.WriteBytes(target, "ページ")
                                     : file.CreateAndWriteBytes(target, "ページ");
            const QByteArray content = QFileInfo(target).isFile() ? TestUtil::readFile(target) : "-";
            outcome[way] = u"%1 %2 %3"_s.arg(ok).arg(file.Message(), QString::fromLatin1(content.toHex()));
        }
        QCOMPARE(outcome[1], outcome[0]);
    }

    void messageSurvivesLaterSuccess()
    {
        clsTextFile file;
        QVERIFY(!file.CreateText(path(u"none/x.txt"_s)));
        const QString message = file.Message();
        QVERIFY(file.CreateText(path(u"fine.txt"_s)));
        QCOMPARE(file.Message(), message);
    }

    // A file another program holds open: the number and the system's text,
    // which callers recognise to say what to close.
    void readOfAFileHeldOpen_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("mayBeHeldOpen");
        QTest::newRow("sharing violation, lock") << int(clsTextFile::PermissionDenied) << true;
        QTest::newRow("cannot be replaced") << int(clsTextFile::PathFileAccessError) << true;
        QTest::newRow("device error") << int(clsTextFile::DeviceIoError) << false;
    }
    void readOfAFileHeldOpen()
    {
        QFETCH(int, number);
        QFETCH(bool, mayBeHeldOpen);
        const QString p = path(u"held.csv"_s);
        QVERIFY(TestUtil::writeFile(p, "a,b\r\n"));
        clsTextFile::SetReadFailureInjector([p, number](const QString& asked) { return asked == p ? number : 0; });
        clsTextFile file;
        QByteArray bytes = "kept";
        const bool read = file.ReadBytes(p, bytes);
        clsTextFile::SetReadFailureInjector({});
        QVERIFY(!read);
        QCOMPARE(bytes, QByteArray("kept"));
        QCOMPARE(file.Message(), clsTextFile::FailureText(number));
        QCOMPARE(clsTextFile::MayBeHeldOpen(file.Message()), mayBeHeldOpen);
        QCOMPARE(clsTextFile::FailureText(clsTextFile::PermissionDenied), u"70:アクセスが拒否されました。"_s);
    }

    void readShiftJis()
    {
        const QString p = path(u"sjis.txt"_s);
        QVERIFY(TestUtil::writeFile(p, TextCodec::EncodeShiftJis(u"財布①～ｱ\r\n"_s)));
        clsTextFile file;
        QString text;
        QVERIFY(file.ReadText(p, text));
        QCOMPARE(text, u"財布①～ｱ\r\n"_s);
    }

    void readEmptyLeavesArgument()
    {
        const QString p = path(u"empty.txt"_s);
        QVERIFY(TestUtil::writeFile(p, QByteArray()));
        clsTextFile file;
        QString text = u"before"_s;
        QVERIFY(file.ReadText(p, text));
        QCOMPARE(text, u"before"_s);
    }

    void clearEmpties()
    {
        const QString p = path(u"clear.txt"_s);
        QVERIFY(TestUtil::writeFile(p, "content"));
        clsTextFile file;
        QVERIFY(file.ClearText(p));
        QCOMPARE(TestUtil::readFile(p), QByteArray());
    }

    void writeIntoFolderFails()
    {
        // A folder where the file should be: no file, so nothing is written.
        QDir(m_dir.path()).mkdir(u"adir"_s);
        clsTextFile file;
        QVERIFY(!file.WriteText(path(u"adir"_s), u"x"_s));
        QCOMPARE(file.Message(), u"ファイルが見つかりません。"_s);
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
