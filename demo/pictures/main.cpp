#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "DemoPicture.h"

using klv::storeservice::DemoPicture;
using namespace Qt::StringLiterals;

namespace {

int fail(const QString &message) {
    std::fprintf(stderr, "klv-demo-pictures: %s\n", qPrintable(message));
    return 1;
}

} // namespace

// Draws the picture of every product in a catalog's store.json into the catalog's files folder, at the path its
// "product_image_url" names below "{store}/files/", and the maker's logo as logo.png there.
int main(int argc, char *argv[]) {
    if (argc != 3) {
        return fail(u"usage: klv-demo-pictures STORE_JSON FILES_DIR"_s);
    }
    const QString catalogPath = QFile::decodeName(argv[1]);
    const QDir files(QFile::decodeName(argv[2]));
    QFile catalog(catalogPath);
    if (!catalog.open(QIODevice::ReadOnly)) {
        return fail(u"cannot read %1: %2"_s.arg(catalogPath, catalog.errorString()));
    }
    const QJsonDocument document = QJsonDocument::fromJson(catalog.readAll());
    if (!document.isObject()) {
        return fail(u"%1 does not hold a JSON object"_s.arg(catalogPath));
    }
    const QString prefix = u"{store}/files/"_s;
    for (const auto &entry : document.object().value(u"products"_s).toArray()) {
        const QJsonObject product = entry.toObject();
        const QString name = product.value(u"product_name"_s).toString();
        const QString address = product.value(u"product_image_url"_s).toString();
        const QString relative = address.startsWith(prefix) ? address.sliced(prefix.size()) : QString();
        if (relative.isEmpty() || relative.split(u'/').contains(u".."_s)) {
            return fail(u"\"%1\" needs a picture address below %2, not \"%3\""_s.arg(name, prefix, address));
        }
        const QString path = files.filePath(relative);
        if (!QDir().mkpath(QFileInfo(path).path()) ||
            !DemoPicture::draw(name, product.value(u"product_location"_s).toString()).save(path, "PNG")) {
            return fail(u"cannot write %1"_s.arg(path));
        }
    }
    // The maker's logo, which notifications show beside their text.
    const QString logo = files.filePath(u"logo.png"_s);
    if (!DemoPicture::draw(u"KLV"_s, {}).save(logo, "PNG")) {
        return fail(u"cannot write %1"_s.arg(logo));
    }
    return 0;
}
