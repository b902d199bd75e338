#pragma once

#include <QtGlobal>

namespace klv {
class LogFile;
}

namespace klv::cli {

// While it lives, Qt's own warnings go to the log instead of the terminal, where they would break into the
// progress line; a fatal message still ends the program as Qt ends it.
class QtMessageRoute final {
public:
    explicit QtMessageRoute(LogFile &log);
    ~QtMessageRoute();
    Q_DISABLE_COPY_MOVE(QtMessageRoute)

private:
    QtMessageHandler m_previous;
};

} // namespace klv::cli
