#pragma once

#include <QByteArray>
#include <QObject>

class QNetworkReply;

namespace klv {

// Collects a reply's body while it arrives, up to a limit. An answer that announces a longer body, or sends one,
// is aborted at once, so it is never held whole. Lives as a child of the reply.
class BoundedReplyBody final : public QObject {
    Q_OBJECT
public:
    BoundedReplyBody(QNetworkReply &reply, qint64 limit);

    // The whole body once the reply has finished; whatever arrived before it was aborted otherwise.
    QByteArray take();
    bool exceeded() const { return m_exceeded; }

private:
    void collect();
    void refuseBeyond(qint64 size);

    QNetworkReply &m_reply;
    qint64 m_limit;
    QByteArray m_body;
    bool m_exceeded = false;
};

} // namespace klv
