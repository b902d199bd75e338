#pragma once

#include "core/TickSource.h"

namespace klv::test {

// A beat the test gives itself: tick() stands for one second passing, and, as with the timer, only a started
// source beats.
class ManualTickSource final : public TickSource {
public:
    void start() override { m_active = true; }
    bool isActive() const override { return m_active; }
    void tick() {
        if (m_active)
            Q_EMIT ticked();
    }

private:
    bool m_active = false;
};

} // namespace klv::test
