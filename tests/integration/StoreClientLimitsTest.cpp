#include "core/Configuration.h"
#include "store/LogFile.h"
#include "store/Reporter.h"
#include "store/StoreClient.h"

#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <optional>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// A store on a loopback port that reads the request and then answers as told: never, with a small JSON object,
// or with a body that does not end (announcing its length or not). It counts what it managed to send.
class MisbehavingStore final : public QObject {
public:
    enum class Answer { never, small, announcedHuge, endless };

    explicit MisbehavingStore(Answer answer)
        : m_answer(answer) {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_socket = m_server.nextPendingConnection();
            connect(m_socket, &QTcpSocket::readyRead, this, &MisbehavingStore::answerRequest);
            connect(m_socket, &QTcpSocket::bytesWritten, this, &MisbehavingStore::sendMore);
        });
    }

    QString url() const { return u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()); }
    qint64 bodyBytesSent() const { return m_sent; }

private:
    void answerRequest() {
        if (!m_socket->readAll().contains("\r\n\r\n") || m_answer == Answer::never || m_answered)
            return;
        m_answered = true;
        switch (m_answer) {
        case Answer::small:
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 15\r\n\r\n"
                            R"({"status":true})");
            return;
        case Answer::announcedHuge:
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 400000000\r\n\r\n");
            break;
        default:
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n");
            break;
        }
        sendMore();
    }

    void sendMore() {
        QTcpSocket *socket = m_socket.data();
        if (!socket || !m_answered || m_answer == Answer::small || socket->state() != QAbstractSocket::ConnectedState ||
            socket->bytesToWrite() > (1 << 20))
            return;
        const QByteArray chunk(64 * 1024, ' ');
        socket->write(chunk);
        m_sent += chunk.size();
    }

    Answer m_answer;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_socket;
    bool m_answered = false;
    qint64 m_sent = 0;
};

// Every Qt message while a test runs.
QStringList *capturedMessages = nullptr;

class StoreClientLimitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        capturedMessages = &m_messages;
        m_previousHandler = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &message) { capturedMessages->append(message); });
    }
    void TearDown() override {
        qInstallMessageHandler(m_previousHandler);
        capturedMessages = nullptr;
    }

    StoreResponse ask(const MisbehavingStore &store, std::chrono::milliseconds timeout, qint64 maxBytes) {
        m_configuration.storeUrl = store.url();
        StoreClient client(m_network, m_configuration, m_reporter);
        client.setLimits(timeout, maxBytes);
        std::optional<StoreResponse> response;
        m_logged = client.send(StoreEndpoint::product, u"getProductCommitNumber"_s, {u"tester@klv.example"_s}, &client,
                               [&response](const StoreResponse &answer) { response = answer; });
        EXPECT_TRUE(test::waitUntil([&] { return response.has_value(); }, 30'000));
        return response.value_or(StoreResponse{});
    }

    QTemporaryDir m_dir;
    LogFile m_log{m_dir.filePath(u"KLVAppLog.txt"_s)};
    test::ScriptedAlerts m_alerts;
    Reporter m_reporter{m_log, m_alerts};
    Configuration m_configuration = Configuration::fromEnvironment();
    QNetworkAccessManager m_network;
    QString m_logged;
    QStringList m_messages;
    QtMessageHandler m_previousHandler = nullptr;
};

TEST_F(StoreClientLimitsTest, AStoreThatNeverAnswersEndsInOneClearTextWithoutItsAddress) {
    MisbehavingStore store(MisbehavingStore::Answer::never);
    const StoreResponse response = ask(store, 1s, StoreClient::maxAnswerBytes);
    EXPECT_FALSE(response.hasBody);
    EXPECT_EQ(response.transportError, u"the store did not answer within 1 seconds."_s);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u" | "_s).toStdString();
    // What callers may log names the service and the request, never the encrypted query.
    EXPECT_EQ(m_logged, store.url() + u"/klv-app-product/ (getProductCommitNumber)"_s);
}

TEST_F(StoreClientLimitsTest, AnswersBeyondTheLimitAreRefusedWhileTheyArrive) {
    constexpr qint64 limit = 1 << 20;
    for (const auto kind : {MisbehavingStore::Answer::announcedHuge, MisbehavingStore::Answer::endless}) {
        m_messages.clear();
        MisbehavingStore store(kind);
        const StoreResponse response = ask(store, 60s, limit);
        EXPECT_FALSE(response.hasBody);
        EXPECT_TRUE(response.body.isEmpty());
        EXPECT_EQ(response.transportError, u"the store's answer is larger than 1024.00 KB."_s);
        // The client stopped reading long before the end: what was sent fits in the socket buffers and the limit.
        EXPECT_LT(store.bodyBytesSent(), 32 << 20);
        EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u" | "_s).toStdString();
    }

    MisbehavingStore store(MisbehavingStore::Answer::small);
    const StoreResponse small = ask(store, 60s, 15);
    EXPECT_TRUE(small.hasBody);
    EXPECT_EQ(small.body, R"({"status":true})");
    EXPECT_TRUE(small.transportError.isEmpty());
}

} // namespace
} // namespace klv
