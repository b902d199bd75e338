#pragma once

#include <QObject>

namespace klv {

// The once-a-second beat of what counts down on screen, beside the Clock. The program beats with a timer
// (TimerTickSource); tests pass a source they beat themselves, so that none waits for real seconds.
class TickSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Beats from now on; starting a running source changes nothing.
    virtual void start() = 0;
    virtual bool isActive() const = 0;

Q_SIGNALS:
    void ticked();
};

} // namespace klv
