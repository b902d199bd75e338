#include "app/DiagnosticsRoute.h"

#include "store/LogFile.h"

#include <atomic>

namespace klv {

namespace {

using namespace Qt::StringLiterals;

std::atomic<LogFile *> routedLog = nullptr;
std::atomic<QtMessageHandler> previousHandler = nullptr;
std::atomic<bool> echoed = false;

QString lineFor(QtMsgType type, const char *category, const QString &message) {
    const QString area = QString::fromLatin1(category ? category : "default");
    if (!area.startsWith(u"klv."_s))
        return u"Qt (" + area + u"): " + message;
    const QString level = type == QtDebugMsg ? u"debug"_s : type == QtInfoMsg ? u"info"_s : u"warning"_s;
    return u"Diagnostic (" + area + u", " + level + u"): " + message;
}

void route(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    const QtMessageHandler previous = previousHandler.load();
    LogFile *log = routedLog.load();
    if (log && type != QtFatalMsg)
        log->appendLog(lineFor(type, context.category, message));
    if (previous && (!log || type == QtFatalMsg || echoed.load()))
        previous(type, context, message);
}

} // namespace

DiagnosticsRoute::DiagnosticsRoute(LogFile &log, Echo echo) {
    routedLog = &log;
    echoed = echo == Echo::asQtWould;
    m_previous = qInstallMessageHandler(route);
    previousHandler = m_previous;
}

DiagnosticsRoute::~DiagnosticsRoute() {
    qInstallMessageHandler(m_previous);
    routedLog = nullptr;
}

} // namespace klv
