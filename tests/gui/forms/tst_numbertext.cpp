#include "forms/numbertext.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Types a key script: characters as themselves, named keys in braces.
// Queued events run after each key, as the event loop would run them.
void play(QLineEdit* field, const QString& script)
{
    static const QHash<QString, QPair<Qt::Key, Qt::KeyboardModifier>> named = {
        {u"BS"_s, {Qt::Key_Backspace, Qt::NoModifier}}, {u"DEL"_s, {Qt::Key_Delete, Qt::NoModifier}},
        {u"HOME"_s, {Qt::Key_Home, Qt::NoModifier}},    {u"END"_s, {Qt::Key_End, Qt::NoModifier}},
        {u"S-HOME"_s, {Qt::Key_Home, Qt::ShiftModifier}}, {u"LEFT"_s, {Qt::Key_Left, Qt::NoModifier}},
        {u"S-LEFT"_s, {Qt::Key_Left, Qt::ShiftModifier}}, {u"UP"_s, {Qt::Key_Up, Qt::NoModifier}},
        {u"DOWN"_s, {Qt::Key_Down, Qt::NoModifier}},    {u"RIGHT"_s, {Qt::Key_Right, Qt::NoModifier}},
        {u"ENTER"_s, {Qt::Key_Return, Qt::NoModifier}},
    };
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script[i] == u'{') {
            const qsizetype end = script.indexOf(u'}', i);
            const auto key = named.value(script.mid(i + 1, end - i - 1), {Qt::Key_unknown, {}});
            QTest::keyClick(field, key.first, key.second);
            i = end;
        } else {
            QTest::keyClick(field, char(script[i].toLatin1()));
        }
        QCoreApplication::sendPostedEvents();
    }
}

void verifyCaretAtEnd(const QLineEdit* field)
{
    QCOMPARE(field->cursorPosition(), int(field->text().size()));
    QVERIFY(!field->hasSelectedText());
}

} // namespace

class TestNumberText : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_window.reset(); }

    void typing_data();
    void typing();
    void attach_repairsAndMoves();
    void click_caretBackToEnd();
    void clipboardKeys_data();
    void clipboardKeys();
    void inputMethod_data();
    void inputMethod();

private:
    std::unique_ptr<QWidget> m_window;
    QLineEdit* m_field = nullptr;
    numberText* m_box = nullptr;
};

void TestNumberText::init()
{
    m_window = std::make_unique<QWidget>();
    m_field = new QLineEdit(m_window.get());
    m_field->setGeometry(10, 10, 120, 27);
    m_box = new numberText(m_window.get());
    m_box->SetNumberText(m_field);
    m_box->SetMaxLength(2);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// The start text is set by the program, so rows without keys show the repair
// of loaded text; the typing limit is 2 unless the row says otherwise.
void TestNumberText::typing_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("limit");
    auto row = [](const char* name, const QString& start, const QString& keys,
                  const QString& expected, int limit = 2) {
        QTest::newRow(name) << start << keys << expected << limit;
    };

    row("set 0042", u"0042"_s, {}, u"42"_s);
    row("set 00", u"00"_s, {}, u"0"_s);
    row("set empty", {}, {}, u"0"_s);
    row("set lone minus", u"-"_s, {}, u"0"_s);
    row("set letters, kept", u"abc"_s, {}, u"abc"_s);
    row("set -12, kept whole", u"-12"_s, {}, u"-12"_s);
    row("backspace on last digit", u"5"_s, u"{BS}"_s, u"0"_s);
    row("digit on 0", u"0"_s, u"5"_s, u"5"_s);
    row("0 on 0", u"0"_s, u"0"_s, u"0"_s);
    row("minus on 0", u"0"_s, u"-"_s, u"0"_s);
    row("minus on 8", u"8"_s, u"-"_s, u"-8"_s);
    row("minus on -8", u"-8"_s, u"-"_s, u"8"_s);
    row("backspace on -8", u"-8"_s, u"{BS}"_s, u"0"_s);
    row("letter, space, points, plus dropped", u"5"_s, u"a Z.,+"_s, u"5"_s);
    row("enter inserts nothing", u"5"_s, u"{ENTER}"_s, u"5"_s);
    row("two digits typed", u"0"_s, u"10"_s, u"10"_s);
    row("third digit refused", u"12"_s, u"3"_s, u"12"_s);
    row("minus passes the limit", u"12"_s, u"-"_s, u"-12"_s);
    row("sign counts in the limit", u"0"_s, u"1-2"_s, u"-1"_s);
    row("no limit", u"0"_s, u"1-23"_s, u"-123"_s, 0);
    row("home, delete on -12", u"-12"_s, u"{HOME}{DEL}"_s, u"1"_s);
    row("delete at the end", u"12"_s, u"{DEL}"_s, u"1"_s);
    row("selection deleted, then one more", u"123"_s, u"{S-HOME}{DEL}"_s, u"0"_s, 0);
    row("selection makes room", u"12"_s, u"{S-HOME}7"_s, u"7"_s);
    row("home, digit at the front", u"5"_s, u"{HOME}3"_s, u"35"_s);
    row("home, 0 at the front", u"5"_s, u"{HOME}0"_s, u"5"_s);
    row("home, end", u"12"_s, u"{HOME}{END}{BS}"_s, u"1"_s);
    row("arrows swallowed", u"34"_s, u"{UP}{DOWN}{RIGHT}{LEFT}{S-LEFT}{BS}"_s, u"3"_s);
}

void TestNumberText::typing()
{
    QFETCH(QString, start);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QFETCH(int, limit);

    m_box->SetMaxLength(limit);
    m_field->setText(u"7"_s);
    m_field->setText(start);
    play(m_field, keys);
    QCOMPARE(m_field->text(), expected);
    verifyCaretAtEnd(m_field);
}

void TestNumberText::attach_repairsAndMoves()
{
    auto* other = new QLineEdit(m_window.get());
    m_box->SetNumberText(other);
    QCOMPARE(other->text(), u"0"_s);

    // The old field is an ordinary one again.
    m_field->setText(QString());
    QTest::keyClicks(m_field, "a-");
    QCOMPARE(m_field->text(), u"a-"_s);
    QTest::keyClicks(other, "a-");
    QCOMPARE(other->text(), u"0"_s);
}

void TestNumberText::click_caretBackToEnd()
{
    m_box->SetMaxLength(0);
    m_field->setAlignment(Qt::AlignLeft);
    m_field->setText(u"1234"_s);
    const QPoint middle(m_field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() / 2,
                        13);
    QTest::mousePress(m_field, Qt::LeftButton, {}, middle);
    QVERIFY(m_field->cursorPosition() < 4);
    QTest::mouseRelease(m_field, Qt::LeftButton, {}, middle);
    verifyCaretAtEnd(m_field);
    QTest::keyClick(m_field, '5');
    QCOMPARE(m_field->text(), u"12345"_s);

    // Any button's release ends a selection.
    m_field->setSelection(0, 2);
    QTest::mouseRelease(m_field, Qt::RightButton, Qt::ShiftModifier, middle);
    verifyCaretAtEnd(m_field);
}

void TestNumberText::clipboardKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");

    const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
    QTest::newRow("ctrl+v copies") << u"{S-HOME}"_s << Qt::Key_V << ctrl << u"-12"_s << u"-12"_s;
    QTest::newRow("ctrl+v, no selection") << QString() << Qt::Key_V << ctrl << u"-12"_s << u"07"_s;
    QTest::newRow("ctrl+x copies, text kept")
        << u"{S-HOME}"_s << Qt::Key_X << ctrl << u"-12"_s << u"-12"_s;
    QTest::newRow("ctrl+c copies") << u"{S-HOME}"_s << Qt::Key_C << ctrl << u"-12"_s << u"-12"_s;
    // Pasting bypasses the filter; only the repair applies.
    QTest::newRow("shift+insert pastes") << u"{BS}{BS}{BS}"_s << Qt::Key_Insert
                                         << Qt::KeyboardModifiers(Qt::ShiftModifier) << u"7"_s
                                         << u"07"_s;
}

void TestNumberText::clipboardKeys()
{
    QFETCH(QString, keys);
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, clipboard);

    QGuiApplication::clipboard()->setText(u"07"_s);
    m_field->setText(u"-12"_s);
    play(m_field, keys);
    QTest::keyClick(m_field, key, modifiers);
    QCOMPARE(m_field->text(), text);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
}

void TestNumberText::inputMethod_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("expected");

    QTest::newRow("digit") << u"0"_s << u"7"_s << u"7"_s;
    QTest::newRow("past the limit") << u"1"_s << u"23"_s << u"1"_s;
    QTest::newRow("full-width digit") << u"5"_s << u"５"_s << u"5"_s;
    QTest::newRow("japanese") << u"5"_s << u"税率"_s << u"5"_s;
    QTest::newRow("minus") << u"5"_s << u"-"_s << u"-5"_s;
}

void TestNumberText::inputMethod()
{
    QFETCH(QString, start);
    QFETCH(QString, commit);
    QFETCH(QString, expected);

    m_field->setText(start);
    QInputMethodEvent event;
    event.setCommitString(commit);
    QCoreApplication::sendEvent(m_field, &event);
    QCOMPARE(m_field->text(), expected);
}

QTEST_MAIN(TestNumberText)
#include "tst_numbertext.moc"
