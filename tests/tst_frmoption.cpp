#include <QTest>

class Test_frmoption : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_frmoption)
#include "tst_frmoption.moc"
