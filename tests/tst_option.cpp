#include <QTest>

class Test_option : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_option)
#include "tst_option.moc"
