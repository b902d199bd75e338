#pragma once

#include <QIcon>

namespace klv::ui {

// The window's SVG icons by asset name, loaded once; they stay crisp at any scale.
class IconLibrary final {
public:
    static QIcon icon(const QString &name);
};

} // namespace klv::ui
