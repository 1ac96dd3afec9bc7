#include "forms/frmprogress.h"
#include "msgboxrecorder.h"
#include "widgettest.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <climits>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<frmProgress> shown(QWidget* over = nullptr)
{
    auto form = std::make_unique<frmProgress>(over);
    form->SetTitle(u"ホームページを作成中..."_s);
    form->Show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("progress window not exposed");
    return form;
}

// A click of the user waits in the queue until ReDraw lets the events run.
void queueClick(QWidget* button)
{
    const QPointF centre = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(centre);
    for (auto [type, buttons] : {std::pair(QEvent::MouseButtonPress, Qt::LeftButton),
                                 std::pair(QEvent::MouseButtonRelease, Qt::NoButton)})
        QCoreApplication::postEvent(
            button, new QMouseEvent(type, centre, global, Qt::LeftButton, buttons, {}));
}

struct PaintCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestFrmProgress : public QObject
{
    Q_OBJECT
private slots:
    void window_lookAndLoadState();
    void layout_data();
    void layout();
    void barWidth_data();
    void barWidth();
    void maxValueZero_refused();
    void message_shownAtReDraw();
    void cancel_data();
    void cancel();
    void onlyTheRunCloses_windowSystemAsksForStop();
    void centring_data();
    void centring();
    void rapidReDraws_paintAtScreenRate_andCatchUp();
};

void TestFrmProgress::window_lookAndLoadState()
{
    frmProgress form;
    QCOMPARE(form.objectName(), u"frmProgress"_s);
    QCOMPARE(form.size(), QSize(363, 124));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QCOMPARE(flags & ~Qt::WindowType_Mask, Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QCOMPARE(form.font().family(), u"MS UI Gothic"_s);
    QCOMPARE(form.font().pointSizeF(), 12.0);
    QCOMPARE(qobject_cast<QPushButton*>(control(&form, u"cmdCancel"_s))->text(), u"中断"_s);

    QCOMPARE(form.Message(), u"処理中です…"_s);
    QCOMPARE(form.MaxValue(), 1);
    QCOMPARE(form.Value(), 0);
    QVERIFY(!form.IsCancel());
}

void TestFrmProgress::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QColor>("background");

    const QColor white(Qt::white);
    QTest::newRow("window") << u"frmProgress"_s << QString() << QRect(0, 0, 363, 124) << white;
    QTest::newRow("cmdCancel") << u"cmdCancel"_s << u"frmProgress"_s << QRect(132, 76, 101, 41)
                               << QColor();
    QTest::newRow("picProgress") << u"picProgress"_s << u"frmProgress"_s << QRect(8, 36, 345, 33)
                                 << white;
    QTest::newRow("lblValue") << u"lblValue"_s << u"picProgress"_s << QRect(0, 0, 0, 33)
                              << QColor(0xAA, 0xAA, 0xFF);
    QTest::newRow("lblMessage") << u"lblMessage"_s << u"frmProgress"_s << QRect(16, 16, 129, 17)
                                << white;
}

void TestFrmProgress::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QColor, background);

    frmProgress form;
    const QWidget* widget = name == form.objectName() ? &form : control(&form, name);
    QVERIFY(widget);
    if (!parent.isEmpty())
        QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(parent.isEmpty() ? QRect(QPoint(), widget->size()) : widget->geometry(), geometry);
    if (background.isValid()) {
        QVERIFY(widget->autoFillBackground());
        QCOMPARE(widget->palette().color(QPalette::Window), background);
    }
}

void TestFrmProgress::barWidth_data()
{
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("width");

    QTest::newRow("3 of 120: 8.625, rounded") << 120 << 3 << 9;
    QTest::newRow("value at max: full") << 120 << 120 << 345;
    QTest::newRow("above max: still full") << 120 << 500 << 345;
    QTest::newRow("value 0: empty") << 120 << 0 << 0;
    QTest::newRow("half a track: 172.5 rounds up") << 2 << 1 << 173;
    QTest::newRow("division first") << 7 << 3 << 148;
    QTest::newRow("below half a pixel") << 1000 << 1 << 0;
    QTest::newRow("largest value, no overflow") << 1 << INT_MAX << 345;
    QTest::newRow("largest maximum") << INT_MAX << INT_MAX << 345;
    QTest::newRow("negative ratio: empty") << -5 << 1 << 0;
    QTest::newRow("both negative") << -5 << -5 << 345;
}

void TestFrmProgress::barWidth()
{
    QFETCH(int, maxValue);
    QFETCH(int, value);
    QFETCH(int, width);

    frmProgress form;
    form.SetMaxValue(maxValue);
    form.SetValue(value);
    form.ReDraw();
    QCOMPARE(control(&form, u"lblValue"_s)->geometry(), QRect(0, 0, width, 33));
}

void TestFrmProgress::maxValueZero_refused()
{
    const MsgBoxRecorder box;
    frmProgress form;
    form.SetMaxValue(0);
    QCOMPARE(box.shown.size(), 1);
    QCOMPARE(box.shown[0].text, u"MaxValue ﾌﾟﾛﾊﾟﾃｨに 0 は設定できません。"_s);
    QCOMPARE(box.shown[0].icon, MessageIcon::None);
    QCOMPARE(box.shown[0].buttons, MsgBox::Buttons::Ok);
    QCOMPARE(form.MaxValue(), 1);
    form.ReDraw();
    QCOMPARE(control(&form, u"lblValue"_s)->width(), 0);

    form.SetMaxValue(120);
    form.SetMaxValue(0);
    QCOMPARE(form.MaxValue(), 120);
    QCOMPARE(box.shown.size(), 2);
}

void TestFrmProgress::message_shownAtReDraw()
{
    frmProgress form;
    const auto* label = qobject_cast<QLabel*>(control(&form, u"lblMessage"_s));
    form.SetMessage(u"1 / 3"_s);
    form.SetMessage(u"2 / 3"_s);
    QVERIFY(label->text() != u"2 / 3"_s);
    form.ReDraw();
    QCOMPARE(label->text(), u"2 / 3"_s);

    // How the upload's text fits: tst_windows, on both systems.
}

void TestFrmProgress::cancel_data()
{
    QTest::addColumn<bool>("queued");
    QTest::addColumn<bool>("handledBefore");

    QTest::newRow("no click") << false << false;
    QTest::newRow("click waiting in the queue") << true << false;
    // Handled by some other event processing between two ReDraws.
    QTest::newRow("click handled before ReDraw, forgotten") << false << true;
}

void TestFrmProgress::cancel()
{
    QFETCH(bool, queued);
    QFETCH(bool, handledBefore);

    const auto form = shown();
    auto* button = qobject_cast<QPushButton*>(control(form.get(), u"cmdCancel"_s));
    form->SetMaxValue(3);
    form->SetMessage(u"3 / 3"_s);
    form->SetValue(3);
    // Lines in quick succession, as in a run.
    for (int i = 0; i < 3; ++i) {
        form->ReDraw();
        QVERIFY(!form->IsCancel());
    }
    if (queued)
        queueClick(button);
    if (handledBefore)
        QTest::mouseClick(button, Qt::LeftButton);
    form->ReDraw();
    QCOMPARE(form->IsCancel(), queued);
    // The click asks for nothing more.
    QVERIFY(form->isVisible());
    QCOMPARE(form->Message(), u"3 / 3"_s);
    QCOMPARE(form->Value(), 3);
    form->ReDraw();
    QVERIFY(!form->IsCancel());
}

// Only the run closes the window. There is no close box, but the window
// system's close command must not take 中断 away from a run that goes on.
void TestFrmProgress::onlyTheRunCloses_windowSystemAsksForStop()
{
    const auto form = shown();
    QVERIFY(!form->close());
    form->ReDraw();
    QVERIFY(!form->IsCancel());
    QCoreApplication::postEvent(form->windowHandle(), new QCloseEvent);
    form->ReDraw();
    QVERIFY(form->IsCancel());
    QVERIFY(form->isVisible());
    form->Close();
    QVERIFY(!form->isVisible());
}

void TestFrmProgress::centring_data()
{
    QTest::addColumn<bool>("overShownWindow");
    QTest::newRow("over the window") << true;
    QTest::newRow("hidden window: the screen") << false;
}

void TestFrmProgress::centring()
{
    QFETCH(bool, overShownWindow);

    QWidget main;
    main.setGeometry(60, 80, 500, 300);
    if (overShownWindow) {
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
    }
    const auto form = shown(&main);
    const QRect area = overShownWindow ? main.frameGeometry() : form->screen()->availableGeometry();
    // The frame that the window system adds is not known before the show.
    QVERIFY((form->frameGeometry().center() - area.center()).manhattanLength() <= 8);
}

// A paint per ReDraw would cost more than a headless run spends on a line:
// painting happens about once per screen refresh, and once the event loop
// runs the display shows the last line.
void TestFrmProgress::rapidReDraws_paintAtScreenRate_andCatchUp()
{
    const auto form = shown();
    auto* label = qobject_cast<QLabel*>(control(form.get(), u"lblMessage"_s));
    PaintCounter paints;
    label->installEventFilter(&paints);

    const int lines = 3000;
    form->SetMaxValue(lines);
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= lines; ++i) {
        form->SetMessage(QString::number(i) + u" / "_s + QString::number(lines));
        form->SetValue(i);
        form->ReDraw();
    }
    QVERIFY2(paints.count <= clock.elapsed() / 15 + 3, qPrintable(QString::number(paints.count)));
    QTRY_COMPARE(label->text(), u"3000 / 3000"_s);
    QTRY_COMPARE(control(form.get(), u"lblValue"_s)->width(), 345);
}

QTEST_MAIN(TestFrmProgress)
#include "tst_progress.moc"
