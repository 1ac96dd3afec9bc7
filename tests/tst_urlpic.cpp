#include <QTest>

class Test_urlpic : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_urlpic)
#include "tst_urlpic.moc"
