#pragma once

#include <QtGlobal>

namespace klv {

class LogFile;

// While it lives, every diagnostic, Qt's own and the app's areas (core/Diagnostics.h), is written to the log. The
// window also passes them on as Qt would (to the terminal it was started from); klv does not, as they would break
// into its progress line. A fatal message still ends the program as Qt ends it. One lives at a time.
class DiagnosticsRoute final {
public:
    enum class Echo { none, asQtWould };

    DiagnosticsRoute(LogFile &log, Echo echo);
    ~DiagnosticsRoute();
    Q_DISABLE_COPY_MOVE(DiagnosticsRoute)

private:
    QtMessageHandler m_previous;
};

} // namespace klv
