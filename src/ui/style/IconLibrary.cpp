#include "style/IconLibrary.h"

#include <QHash>

namespace klv::ui {

QIcon IconLibrary::icon(const QString &name) {
    static QHash<QString, QIcon> icons;
    auto found = icons.find(name);
    if (found == icons.end())
        found = icons.insert(name, QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg")));
    return *found;
}

} // namespace klv::ui
