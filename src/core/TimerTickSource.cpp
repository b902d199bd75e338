#include "core/TimerTickSource.h"

namespace klv {

TimerTickSource::TimerTickSource(QObject *parent)
    : TickSource(parent) {
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TickSource::ticked);
}

void TimerTickSource::start() {
    if (!m_timer.isActive())
        m_timer.start();
}

} // namespace klv
