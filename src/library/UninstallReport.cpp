#include "library/UninstallReport.h"

using namespace Qt::StringLiterals;

namespace klv {

QString UninstallReport::summary(const QString &productName) const {
    const QString stays = kept.isEmpty() ? QString() : u" ("_s + kept.join(u", "_s) + u')';
    if (removedNothing())
        return u"Nothing of "_s + productName + u" was found to remove"_s + stays;
    return u"Uninstalled "_s + productName + stays;
}

} // namespace klv
