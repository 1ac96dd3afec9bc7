#include <QTest>

class Test_inifile : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_MAIN(Test_inifile)
#include "tst_inifile.moc"
