#include "forms/basurlpic.h"
#include "testutil.h"
#include "widgettest.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Answers every request on 127.0.0.1 with one fixed reply; an empty reply
// means the server reads the request and never answers.
class OneAnswerServer : public QObject
{
public:
    explicit OneAnswerServer(QByteArray reply) : m_reply(std::move(reply))
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (m_request.contains("\r\n\r\n") && !m_reply.isEmpty())
                        socket->write(m_reply);
                });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray requestLine() const { return m_request.left(m_request.indexOf("\r\n")); }

private:
    QTcpServer m_server;
    QByteArray m_reply;
    QByteArray m_request;
};

QByteArray reply(int status, const QByteArray& body, qint64 announced = -1)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: image/jpeg\r\nContent-Length: "
        + QByteArray::number(announced < 0 ? body.size() : announced) + "\r\n\r\n" + body;
}

} // namespace

class TestUrlPic : public QObject
{
    Q_OBJECT
private slots:
    void webAddress_data();
    void webAddress();
    void unreachable_data();
    void unreachable();
    void localPath_data();
    void localPath();
};

void TestUrlPic::webAddress_data()
{
    QTest::addColumn<QByteArray>("answer"); // empty: never answers
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QSize>("expected");    // empty: no picture

    QTest::newRow("jpeg answered 200") << reply(200, jpeg(QSize(40, 20))) << 3000 << QSize(40, 20);
    QTest::newRow("404 even with a picture as body") << reply(404, jpeg(QSize(40, 20))) << 3000 << QSize();
    QTest::newRow("500") << reply(500, "oops") << 3000 << QSize();
    QTest::newRow("200 but not a picture") << reply(200, "<html>no</html>") << 3000 << QSize();
    QTest::newRow("200 truncated jpeg") << reply(200, jpeg(QSize(40, 20)).left(20)) << 3000 << QSize();
    QTest::newRow("never answers") << QByteArray() << 300 << QSize();
    // Announces a gigabyte: given up at once, neither awaited nor collected.
    QTest::newRow("oversized") << reply(200, QByteArray(64 * 1024, 'x'), qint64(1) << 30) << 5000
                               << QSize();
}

void TestUrlPic::webAddress()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, timeoutMs);
    QFETCH(QSize, expected);

    OneAnswerServer server(answer);
    QElapsedTimer clock;
    clock.start();
    const QPixmap picture =
        basUrlPic::LoadUrlPicture(u"http://127.0.0.1:%1/header/007.jpg"_s.arg(server.port()), timeoutMs);
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(server.requestLine(), "GET /header/007.jpg HTTP/1.1");
    QCOMPARE(picture.size(), expected.isEmpty() ? QSize(0, 0) : expected);
    QVERIFY2(elapsed < qMin(timeoutMs, 2000) + 1000, QByteArray::number(elapsed).constData());
}

void TestUrlPic::unreachable_data()
{
    QTest::addColumn<QString>("url");
    // A port that was just free: nobody listens there any more.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    QTest::newRow("refused connection") << u"http://127.0.0.1:%1/001.jpg"_s.arg(probe.serverPort());
    // Whether the resolver answers at once or not at all, the bound holds.
    QTest::newRow("unknown host") << u"http://no-such-host.invalid/001.jpg"_s;
    QTest::newRow("no host") << u"http:///001.jpg"_s;
}

void TestUrlPic::unreachable()
{
    QFETCH(QString, url);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(basUrlPic::LoadUrlPicture(url, 500).isNull());
    QVERIFY2(clock.elapsed() < 2500, QByteArray::number(clock.elapsed()).constData());
}

void TestUrlPic::localPath_data()
{
    QTest::addColumn<QString>("name");       // in a temporary folder; empty: the empty text
    QTest::addColumn<QByteArray>("content"); // null: the file is not made
    QTest::addColumn<bool>("asFileUrl");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("jpeg file") << u"p.jpg"_s << jpeg(QSize(12, 7)) << false << QSize(12, 7);
    QTest::newRow("Japanese file name") << u"ヘッダー画像.jpg"_s << jpeg(QSize(9, 4)) << false << QSize(9, 4);
    QTest::newRow("file URL") << u"q.jpg"_s << jpeg(QSize(5, 6)) << true << QSize(5, 6);
    QTest::newRow("missing file") << u"none.jpg"_s << QByteArray() << false << QSize();
    QTest::newRow("not a picture") << u"text.jpg"_s << QByteArray("hello") << false << QSize();
    QTest::newRow("empty text") << QString() << QByteArray() << false << QSize();
}

void TestUrlPic::localPath()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, asFileUrl);
    QFETCH(QSize, expected);

    QTemporaryDir dir;
    QString text;
    if (!name.isEmpty()) {
        text = dir.filePath(name);
        if (!content.isNull())
            QVERIFY(TestUtil::writeFile(text, content));
        if (asFileUrl)
            text = QUrl::fromLocalFile(text).toString();
    }
    QCOMPARE(basUrlPic::LoadUrlPicture(text).size(), expected.isEmpty() ? QSize(0, 0) : expected);
}

QTEST_MAIN(TestUrlPic)
#include "tst_urlpic.moc"
