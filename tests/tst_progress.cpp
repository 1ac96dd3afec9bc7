#include <QTest>

class Test_progress : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_progress)
#include "tst_progress.moc"
