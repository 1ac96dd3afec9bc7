#include <QTest>

class Test_numbertext : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_numbertext)
#include "tst_numbertext.moc"
