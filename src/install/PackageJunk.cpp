#include "install/PackageJunk.h"

#include <algorithm>

namespace klv {
namespace {

bool isJunkName(const QString &name) {
    return name == u".DS_Store" || name == u"__MACOSX" || name.startsWith(u"._") ||
           name.compare(u"Thumbs.db", Qt::CaseInsensitive) == 0 ||
           name.compare(u"desktop.ini", Qt::CaseInsensitive) == 0;
}

} // namespace

bool isPackageJunk(const QStringList &components) {
    if (!components.isEmpty() && components.constFirst() == u"META-INF")
        return true;
    return std::any_of(components.cbegin(), components.cend(), isJunkName);
}

} // namespace klv
