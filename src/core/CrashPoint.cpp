#include "core/CrashPoint.h"

#include <QByteArray>

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace klv {

namespace {

struct Target {
    QByteArray step;
    int count = 1;
};

Target target() {
    const QByteArray text = qgetenv("KLV_CRASH_AT");
    const qsizetype colon = text.lastIndexOf(':');
    if (colon < 0)
        return {text, 1};
    bool isNumber = false;
    const int count = text.mid(colon + 1).toInt(&isNumber);
    return isNumber && count > 0 ? Target{text.left(colon), count} : Target{text, 1};
}

} // namespace

void crashPoint(const char *step) {
    static const Target wanted = target();
    static std::atomic<int> reached{0};
    if (wanted.step.isEmpty() || wanted.step != step)
        return;
    if (reached.fetch_add(1) + 1 == wanted.count)
        std::raise(SIGKILL);
}

} // namespace klv
