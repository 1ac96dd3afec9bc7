#include "app/frmprogress.h"
#include "app/msgbox.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestProgress : public QObject
{
    Q_OBJECT
    QStringList m_boxes;

private slots:
    void init()
    {
        m_boxes.clear();
        MsgBox::SetHandler([this](const QString& text, MessageIcon icon, MsgBox::Buttons) {
            m_boxes.append(text);
            if (icon != MessageIcon::None)
                m_boxes.append(u"(icon)"_s);
            return MsgBox::Answer::Ok;
        });
    }
    void cleanup() { MsgBox::SetHandler({}); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("cmdCancel") << u"cmdCancel"_s << QRect(132, 76, 101, 41);
        QTest::newRow("picProgress") << u"picProgress"_s << QRect(8, 36, 345, 33);
        QTest::newRow("lblValue") << u"lblValue"_s << QRect(0, 0, 0, 33);
        QTest::newRow("lblMessage") << u"lblMessage"_s << QRect(16, 16, 129, 17);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        frmProgress window;
        QCOMPARE(window.size(), QSize(363, 124));
        QWidget* widget = window.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(window.findChild<QPushButton*>(u"cmdCancel"_s)->text(), u"中断"_s);
        QCOMPARE(window.findChild<QWidget*>(u"lblValue"_s)->parentWidget()->objectName(),
                 u"picProgress"_s);
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowSystemMenuHint));
    }

    void freshState()
    {
        frmProgress window;
        QCOMPARE(window.Message(), u"処理中です…"_s);
        QCOMPARE(window.MaxValue(), 1);
        QCOMPARE(window.Value(), 0);
        QVERIFY(!window.IsCancel());
    }

    void barWidth_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("width");
        QTest::newRow("3 of 120") << 120 << 3 << 9; // 8.625
        QTest::newRow("full") << 120 << 120 << 345;
        QTest::newRow("beyond") << 10 << 25 << 345;
        QTest::newRow("empty") << 10 << 0 << 0;
        QTest::newRow("half") << 2 << 1 << 173; // 172.5 rounds up
        QTest::newRow("negative value") << 10 << -3 << 0;
        QTest::newRow("negative maximum") << -1 << 5 << 0;
    }
    void barWidth()
    {
        QFETCH(int, max);
        QFETCH(int, value);
        QFETCH(int, width);
        frmProgress window;
        window.SetMaxValue(max);
        window.SetValue(value);
        window.ReDraw();
        QCOMPARE(window.findChild<QWidget*>(u"lblValue"_s)->width(), width);
        QCOMPARE(window.findChild<QWidget*>(u"lblValue"_s)->height(), 33);
    }

    void zeroMaximumIsRefused()
    {
        frmProgress window;
        window.SetMaxValue(0);
        QCOMPARE(m_boxes, QStringList{u"MaxValue ﾌﾟﾛﾊﾟﾃｨに 0 は設定できません。"_s});
        QCOMPARE(window.MaxValue(), 1);
        window.ReDraw();
        QCOMPARE(window.findChild<QWidget*>(u"lblValue"_s)->width(), 0);
        window.SetMaxValue(7);
        window.SetMaxValue(0);
        QCOMPARE(window.MaxValue(), 7);
    }

    void cancelRequestLivesUntilTheNextRedraw()
    {
        frmProgress window;
        window.Show();
        auto* cancel = window.findChild<QPushButton*>(u"cmdCancel"_s);
        // A click that arrives while the run works is seen at the next ReDraw.
        QTimer::singleShot(0, cancel, &QPushButton::click);
        window.ReDraw();
        QVERIFY(window.IsCancel());
        window.ReDraw();
        QVERIFY(!window.IsCancel());
        // A click handled elsewhere between two redraws is forgotten.
        cancel->click();
        QVERIFY(window.IsCancel());
        window.ReDraw();
        QVERIFY(!window.IsCancel());
    }

    void messageShownAtRedraw()
    {
        frmProgress window;
        auto* label = window.findChild<QLabel*>(u"lblMessage"_s);
        window.SetMessage(u"1 / 3"_s);
        window.SetMessage(u"2 / 3"_s);
        QVERIFY(label->text() != u"2 / 3"_s);
        window.ReDraw();
        QCOMPARE(label->text(), u"2 / 3"_s);
    }

    void onlyTheRunClosesIt()
    {
        frmProgress window;
        window.Show();
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        window.Close();
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
