#include "base/vbnumber.h"

#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

class TestVbNumber : public QObject
{
    Q_OBJECT
private slots:
    void isNumeric_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << "1980"_ba << true << 1980.0;
        QTest::newRow("digit-group comma") << "1,980"_ba << true << 1980.0;
        QTest::newRow("blanks around") << "  42\t"_ba << true << 42.0;
        QTest::newRow("fraction") << "19.5"_ba << true << 19.5;
        QTest::newRow("leading point") << ".5"_ba << true << 0.5;
        QTest::newRow("trailing point") << "5."_ba << true << 5.0;
        QTest::newRow("negative") << "-3"_ba << true << -3.0;
        QTest::newRow("plus") << "+3"_ba << true << 3.0;
        QTest::newRow("exponent") << "1e3"_ba << true << 1000.0;
        QTest::newRow("exponent sign") << "2.5E-1"_ba << true << 0.25;
        QTest::newRow("huge exponent") << "1e400"_ba << true << HUGE_VAL;
        QTest::newRow("tiny exponent") << "1e-400"_ba << true << 0.0;
        QTest::newRow("many zeros after point") << ("0." + QByteArray(400, '0') + "1") << true << 0.0;
        QTest::newRow("empty") << ""_ba << false << 0.0;
        QTest::newRow("blank") << "  "_ba << false << 0.0;
        QTest::newRow("letters") << "abc"_ba << false << 0.0;
        QTest::newRow("trailing letters") << "12abc"_ba << false << 0.0;
        QTest::newRow("point only") << "."_ba << false << 0.0;
        QTest::newRow("sign only") << "-"_ba << false << 0.0;
        QTest::newRow("comma first") << ",5"_ba << false << 0.0;
        QTest::newRow("inner blank") << "1 2"_ba << false << 0.0;
        QTest::newRow("dangling exponent") << "1e"_ba << false << 0.0;
        QTest::newRow("full-width digits") << "\xEF\xBC\x91"_ba << false << 0.0;
        QTest::newRow("yen sign") << "\\1980"_ba << false << 0.0;
    }
    void isNumeric()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        QCOMPARE(VbNumber::IsNumeric(text), numeric);
        if (numeric)
            QCOMPARE(VbNumber::ToDouble(text), value);
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "3"_ba << 3.0;
        QTest::newRow("blanks before") << "  3"_ba << 3.0;
        QTest::newRow("trailing text") << "12abc"_ba << 12.0;
        QTest::newRow("fraction") << "2.5枚"_ba << 2.5;
        QTest::newRow("stops at comma") << "1,000"_ba << 1.0;
        QTest::newRow("negative") << "-4"_ba << -4.0;
        QTest::newRow("exponent") << "2e1x"_ba << 20.0;
        QTest::newRow("empty") << ""_ba << 0.0;
        QTest::newRow("no number") << "abc"_ba << 0.0;
        QTest::newRow("huge") << "99999999999"_ba << 99999999999.0;
    }
    void leadingNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QCOMPARE(VbNumber::LeadingNumber(text), value);
    }

    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<int>("rounded");
        QTest::newRow("2.5 to even") << 2.5 << true << 2;
        QTest::newRow("3.5 to even") << 3.5 << true << 4;
        QTest::newRow("19.5") << 19.5 << true << 20;
        QTest::newRow("-2.5") << -2.5 << true << -2;
        QTest::newRow("2.6") << 2.6 << true << 3;
        QTest::newRow("max") << 2147483647.0 << true << 2147483647;
        QTest::newRow("min") << -2147483648.0 << true << int(-2147483648LL);
        QTest::newRow("max + 0.4") << 2147483647.4 << true << 2147483647;
        QTest::newRow("beyond max") << 2147483648.0 << false << 0;
        QTest::newRow("beyond min") << -2147483649.0 << false << 0;
        QTest::newRow("infinite") << double(HUGE_VAL) << false << 0;
        QTest::newRow("nan") << std::nan("") << false << 0;
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(bool, fits);
        QFETCH(int, rounded);
        const auto result = VbNumber::RoundToInt32(value);
        QCOMPARE(result.has_value(), fits);
        if (fits)
            QCOMPARE(*result, rounded);
    }
};

QTEST_GUILESS_MAIN(TestVbNumber)
#include "tst_vbnumber.moc"
