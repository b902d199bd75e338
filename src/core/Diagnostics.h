#pragma once

#include <QLoggingCategory>

namespace klv {

// The areas of the developer diagnostics. Below warnings each is quiet until a rule asks for it, e.g.
// QT_LOGGING_RULES="klv.install.debug=true"; what they say goes to the log (see DiagnosticsRoute), never into the
// product log's own lines.
Q_DECLARE_LOGGING_CATEGORY(klvApp)
Q_DECLARE_LOGGING_CATEGORY(klvInstall)
Q_DECLARE_LOGGING_CATEGORY(klvLibrary)
Q_DECLARE_LOGGING_CATEGORY(klvMarketing)
Q_DECLARE_LOGGING_CATEGORY(klvStore)
Q_DECLARE_LOGGING_CATEGORY(klvUpdate)

} // namespace klv
