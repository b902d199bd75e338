#include "install/GrowingDownload.h"

namespace klv {

void GrowingDownload::grew(qint64 bytes) {
    {
        const std::scoped_lock lock(m_mutex);
        m_written = bytes;
    }
    m_changed.notify_all();
}

void GrowingDownload::end(const std::optional<QString> &error) {
    {
        const std::scoped_lock lock(m_mutex);
        if (m_ended)
            return;
        m_ended = true;
        m_error = error;
    }
    m_changed.notify_all();
    m_endChanged.notify_all();
}

GrowingDownload::Extent GrowingDownload::waitBeyond(qint64 offset, std::stop_token stop) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, stop, [&] { return m_written > offset || m_ended; });
    return {m_written, m_ended, m_error};
}

Error GrowingDownload::waitForEnd(std::stop_token stop) const {
    std::unique_lock lock(m_mutex);
    m_endChanged.wait(lock, stop, [&] { return m_ended; });
    return m_ended ? m_error : std::nullopt;
}

bool GrowingDownload::completed() const {
    const std::scoped_lock lock(m_mutex);
    return m_ended && !m_error;
}

} // namespace klv
