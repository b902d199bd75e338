#pragma once

#include <QImage>
#include <QString>

namespace klv::storeservice {

// A product picture for the demo catalog, drawn rather than stored: a background whose hue tells the product's kind
// and the product's initials in block letters, centred where the app cuts its thumbnail out. Block letters need no
// fonts, so the build draws the same pictures on any machine.
class DemoPicture final {
public:
    static constexpr int size = 120;

    static QImage draw(const QString &productName, const QString &location);
};

} // namespace klv::storeservice
