#include <QTest>

class Test_frmabout : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_frmabout)
#include "tst_frmabout.moc"
