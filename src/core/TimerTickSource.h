#pragma once

#include "core/TickSource.h"

#include <QTimer>

namespace klv {

// The program's beat: a timer that fires once a second.
class TimerTickSource final : public TickSource {
    Q_OBJECT
public:
    explicit TimerTickSource(QObject *parent = nullptr);

    void start() override;
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace klv
