#include "core/SafeName.h"

namespace klv {

bool isSafePathComponent(const QString &name) {
    return !unsafePathComponentReason(name);
}

Error unsafePathComponentReason(const QString &name) {
    QString problem;
    if (name.isEmpty())
        problem = QStringLiteral("it is empty");
    else if (name == u"." || name == u"..")
        problem = QStringLiteral("it names a folder itself");
    else if (name.contains(u'/'))
        problem = QStringLiteral("it contains “/”");
    else if (name.contains(QChar(0)))
        problem = QStringLiteral("it contains a NUL character");
    else
        return std::nullopt;
    // A NUL would cut the alert text short, so it is shown escaped.
    QString shown = name;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    return QStringLiteral("The name “%1” cannot be used as a file name: %2.").arg(shown, problem);
}

} // namespace klv
