#include "store/BoundedReplyBody.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <utility>

namespace klv {

namespace {
// Enough for the transport to keep going between two reads, little enough to stay flat in memory.
constexpr qint64 transportBufferBytes = 1 << 20;
} // namespace

BoundedReplyBody::BoundedReplyBody(QNetworkReply &reply, qint64 limit)
    : QObject(&reply)
    , m_reply(reply)
    , m_limit(limit) {
    reply.setReadBufferSize(std::min(limit + 1, transportBufferBytes));
    connect(&reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant announced = m_reply.header(QNetworkRequest::ContentLengthHeader);
        if (!announced.isValid())
            return;
        refuseBeyond(announced.toLongLong());
        // Grown by doubling, a large answer would hold up to twice its size.
        if (!m_exceeded)
            m_body.reserve(announced.toLongLong());
    });
    connect(&reply, &QNetworkReply::readyRead, this, &BoundedReplyBody::collect);
}

QByteArray BoundedReplyBody::take() {
    collect();
    return std::exchange(m_body, {});
}

void BoundedReplyBody::collect() {
    // An aborted reply is closed; reading it would only earn a warning.
    if (m_exceeded || !m_reply.isOpen())
        return;
    // Read straight into the body: read(maxSize) would first allocate a buffer of up to the whole limit beside it.
    const qint64 wanted = std::min(m_reply.bytesAvailable(), m_limit + 1 - m_body.size());
    if (wanted <= 0)
        return;
    const qsizetype end = m_body.size();
    m_body.resize(end + wanted);
    const qint64 arrived = m_reply.read(m_body.data() + end, wanted);
    m_body.resize(end + std::max<qint64>(arrived, 0));
    refuseBeyond(m_body.size());
}

void BoundedReplyBody::refuseBeyond(qint64 size) {
    if (m_exceeded || size <= m_limit)
        return;
    m_exceeded = true;
    m_body.clear();
    m_reply.abort();
}

} // namespace klv
