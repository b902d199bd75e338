#include "QtMessageRoute.h"

#include "store/LogFile.h"

#include <atomic>

namespace klv::cli {

namespace {

std::atomic<LogFile *> routedLog = nullptr;
std::atomic<QtMessageHandler> previousHandler = nullptr;

void logMessage(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    LogFile *log = routedLog.load();
    if (type == QtFatalMsg || !log) {
        if (const QtMessageHandler previous = previousHandler.load())
            previous(type, context, message);
        return;
    }
    const QString category = QString::fromLatin1(context.category ? context.category : "default");
    log->appendLog(u"Qt (" + category + u"): " + message);
}

} // namespace

QtMessageRoute::QtMessageRoute(LogFile &log) {
    routedLog = &log;
    m_previous = qInstallMessageHandler(logMessage);
    previousHandler = m_previous;
}

QtMessageRoute::~QtMessageRoute() {
    qInstallMessageHandler(m_previous);
    routedLog = nullptr;
}

} // namespace klv::cli
