#include "settings/numbertext.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A key sequence in a compact notation: characters are typed; "{BS}",
// "{DEL}", "{HOME}", "{END}", "{LEFT}", "{RIGHT}", "{UP}", "{DOWN}" and
// "{SHIFT+HOME}" are keys.
void play(QLineEdit& field, const QString& keys)
{
    static const QList<std::pair<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>>> named = {
        {u"{BS}"_s, {Qt::Key_Backspace, Qt::NoModifier}},
        {u"{DEL}"_s, {Qt::Key_Delete, Qt::NoModifier}},
        {u"{HOME}"_s, {Qt::Key_Home, Qt::NoModifier}},
        {u"{END}"_s, {Qt::Key_End, Qt::NoModifier}},
        {u"{LEFT}"_s, {Qt::Key_Left, Qt::NoModifier}},
        {u"{RIGHT}"_s, {Qt::Key_Right, Qt::NoModifier}},
        {u"{UP}"_s, {Qt::Key_Up, Qt::NoModifier}},
        {u"{DOWN}"_s, {Qt::Key_Down, Qt::NoModifier}},
        {u"{SHIFT+HOME}"_s, {Qt::Key_Home, Qt::ShiftModifier}},
        {u"{SHIFT+LEFT}"_s, {Qt::Key_Left, Qt::ShiftModifier}},
    };
    qsizetype i = 0;
    while (i < keys.size()) {
        bool matched = false;
        for (const auto& [name, key] : named) {
            if (keys.mid(i).startsWith(name)) {
                QTest::keyClick(&field, key.first, key.second);
                i += name.size();
                matched = true;
                break;
            }
        }
        if (!matched) {
            QTest::keyClick(&field, keys[i].toLatin1());
            ++i;
        }
        QCoreApplication::processEvents(); // the queued Backspace of Delete
    }
}

} // namespace

class TestNumberText : public QObject
{
    Q_OBJECT
private slots:
    void typing_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::newRow("backspace the last digit") << u"5"_s << u"{BS}"_s << u"0"_s;
        QTest::newRow("digit replaces the zero") << u"0"_s << u"5"_s << u"5"_s;
        QTest::newRow("zero on zero") << u"0"_s << u"0"_s << u"0"_s;
        QTest::newRow("minus on zero") << u"0"_s << u"-"_s << u"0"_s;
        QTest::newRow("minus adds the sign") << u"8"_s << u"-"_s << u"-8"_s;
        QTest::newRow("minus removes the sign") << u"-8"_s << u"-"_s << u"8"_s;
        QTest::newRow("backspace leaves a lone minus") << u"-8"_s << u"{BS}"_s << u"0"_s;
        QTest::newRow("letters, blanks, points") << u"1"_s << u"a .,+"_s << u"1"_s;
        QTest::newRow("two characters at most") << u"12"_s << u"3"_s << u"12"_s;
        QTest::newRow("the sign may make three") << u"12"_s << u"-"_s << u"-12"_s;
        QTest::newRow("typing two digits") << u"0"_s << u"10"_s << u"10"_s;
        QTest::newRow("home then delete") << u"-12"_s << u"{HOME}{DEL}"_s << u"1"_s;
        QTest::newRow("delete acts as backspace") << u"47"_s << u"{DEL}"_s << u"4"_s;
        QTest::newRow("arrows do not move the caret") << u"4"_s << u"{LEFT}{UP}7"_s << u"47"_s;
        QTest::newRow("selection deleted, then one more")
            << u"-12"_s << u"{SHIFT+HOME}{DEL}"_s << u"0"_s;
    }
    void typing()
    {
        QFETCH(QString, start);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        QLineEdit field;
        numberText box;
        box.SetNumberText(&field);
        box.SetMaxLength(2);
        field.setText(start);
        field.show();
        field.setFocus();
        play(field, keys);
        QCOMPARE(field.text(), result);
        QCOMPARE(field.cursorPosition(), field.text().size());
        QVERIFY(!field.hasSelectedText());
    }

    void textSetByTheProgram_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        QTest::newRow("leading zeros") << u"0042"_s << u"42"_s;
        QTest::newRow("zeros only") << u"00"_s << u"0"_s;
        QTest::newRow("empty") << QString() << u"0"_s;
        QTest::newRow("lone minus") << u"-"_s << u"0"_s;
        QTest::newRow("letters stay") << u"abc"_s << u"abc"_s;
        QTest::newRow("longer than typing allows") << u"-12"_s << u"-12"_s;
    }
    void textSetByTheProgram()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        QLineEdit field;
        numberText box;
        box.SetNumberText(&field);
        box.SetMaxLength(2);
        field.setText(text);
        QCOMPARE(field.text(), result);
        QCOMPARE(field.cursorPosition(), field.text().size());
    }

    void clickPutsTheCaretBack()
    {
        QLineEdit field;
        numberText box;
        box.SetNumberText(&field);
        field.setText(u"12"_s);
        field.resize(100, 30);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QTest::mouseDClick(&field, Qt::LeftButton);
        QTest::mouseRelease(&field, Qt::LeftButton);
        QVERIFY(!field.hasSelectedText());
        QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(3, 15));
        QCOMPARE(field.cursorPosition(), 2);
        QTest::keyClick(&field, '3');
        QCOMPARE(field.text(), u"123"_s); // no limit set here
    }

    void pasteByKeyCopies()
    {
        QLineEdit field;
        numberText box;
        box.SetNumberText(&field);
        field.setText(u"34"_s);
        QApplication::clipboard()->setText(u"99"_s);
        field.selectAll();
        QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field.text(), u"34"_s);
        QCOMPARE(QApplication::clipboard()->text(), u"34"_s);
    }

    void attachmentMoves()
    {
        QLineEdit first;
        QLineEdit second;
        numberText box;
        box.SetNumberText(&first);
        box.SetNumberText(&second);
        QCOMPARE(box.NumberText(), &second);
        QCOMPARE(second.text(), u"0"_s);
        first.setText(QString());
        QCOMPARE(first.text(), QString()); // no longer repaired
    }
};

QTEST_MAIN(TestNumberText)
#include "tst_numbertext.moc"
