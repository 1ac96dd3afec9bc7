// Qt's own file dialog speaks Japanese like the rest of the program, and
// only while it is open.

#include "forms/frmmain.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDialogTexts : public QObject
{
    Q_OBJECT

    static bool haveJapaneseQtTexts()
    {
        return QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                 + u"/qtbase_ja.qm"_s);
    }

private slots:
    void cleanup() { frmMain::SetFileDialogRunner({}); }

    void fileDialog_inJapanese_whileOpen()
    {
        if (!haveJapaneseQtTexts())
            QSKIP("Qt's Japanese texts (qt6-translations-l10n) are not installed");
        QString reject;
        QString accept;
        frmMain::SetFileDialogRunner([&](QFileDialog& dialog) -> std::optional<QString> {
            reject = dialog.labelText(QFileDialog::Reject);
            accept = dialog.labelText(QFileDialog::Accept);
            return std::nullopt;
        });
        const QString before = QCoreApplication::translate("QFileDialog", "File &name:");
        frmMain window;
        window.findChild<QPushButton*>(u"cmdView"_s)->click();
        QCOMPARE(reject, u"キャンセル"_s);
        QVERIFY2(accept.startsWith(u"開く"_s), qPrintable(accept));
        // The program's other texts stay as they are.
        QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), before);
    }
};

QTEST_MAIN(TestDialogTexts)
#include "tst_dialogtexts.moc"
