#include "core/Diagnostics.h"

namespace klv {

Q_LOGGING_CATEGORY(klvApp, "klv.app", QtWarningMsg)
Q_LOGGING_CATEGORY(klvInstall, "klv.install", QtWarningMsg)
Q_LOGGING_CATEGORY(klvLibrary, "klv.library", QtWarningMsg)
Q_LOGGING_CATEGORY(klvMarketing, "klv.marketing", QtWarningMsg)
Q_LOGGING_CATEGORY(klvStore, "klv.store", QtWarningMsg)
Q_LOGGING_CATEGORY(klvUpdate, "klv.update", QtWarningMsg)

} // namespace klv
