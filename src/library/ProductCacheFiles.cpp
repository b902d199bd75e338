#include "library/ProductCacheFiles.h"

#include "core/Locations.h"

#include <QFile>

#include <cstdio>

namespace klv {

void clearProductCaches(const Locations &locations) {
    for (const QString &path : {locations.productCacheFileURL, locations.userDataFileURL}) {
        QFile file(path);
        if (file.exists() && !file.remove())
            std::fprintf(stderr, "KLV App error when clear cache:%s\n", qUtf8Printable(file.errorString()));
    }
}

} // namespace klv
