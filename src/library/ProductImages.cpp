#include "library/ProductImages.h"

#include "core/AtomicFileWrite.h"
#include "core/ControlCharacters.h"
#include "core/Diagnostics.h"
#include "core/SafeName.h"

#include "library/WholeTextLink.h"
#include "store/BoundedReplyBody.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRectF>

namespace klv {

namespace {

constexpr double cropFrame = 120.0;
// Row pictures are small; a larger body is refused while it arrives rather than held whole.
constexpr qint64 maxPictureBytes = qint64(16) << 20;

struct FolderListing {
    QStringList fileNames; // in the order the file system lists them
    QString error;
};

FolderListing listFolder(const QString &folder) {
    FolderListing listing;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(QFile::encodeName(folder).toStdString(), error), end;
         !error && entry != end; entry.increment(error))
        listing.fileNames << QFile::decodeName(entry->path().filename().c_str());
    if (error)
        listing.error = QStringLiteral("The folder “%1” could not be listed: %2")
                            .arg(QDir::cleanPath(folder), QString::fromLocal8Bit(error.message()));
    return listing;
}

QString pictureFileName(const QString &productName) {
    return productName + u".png";
}

} // namespace

ProductImages::ProductImages(Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services) {}

QImage ProductImages::productImage(const OutlineViewItem &record) {
    const QString path = storedPicturePath(record);
    return path.isEmpty() ? QImage() : cropProductImage(QImage(path));
}

QString ProductImages::storedPicturePath(const OutlineViewItem &record) {
    const auto stored = m_services.productImageMap.constFind(record.product_id);
    if (stored != m_services.productImageMap.cend() && stored->isLocalFile() &&
        QFileInfo(stored->toLocalFile()).isFile())
        return stored->toLocalFile();
    if (!acceptsName(record.product_name))
        return {};

    const QString folder = m_services.locations().productImageFolderURL;
    const QString fileName = pictureFileName(record.product_name);
    const FolderListing listing = listFolder(folder);
    if (!listing.error.isEmpty()) {
        m_services.reporter().appendLog(u"E_10 : " + listing.error);
    } else if (listing.fileNames.contains(fileName)) {
        remember({record.product_id}, folder + fileName);
        return folder + fileName;
    }
    download(record);
    return {};
}

void ProductImages::registerStoredProductImages(const QList<OutlineViewItem> &libraryProducts) {
    const QString folder = m_services.locations().productImageFolderURL;
    const FolderListing listing = listFolder(folder);
    if (!listing.error.isEmpty()) {
        m_services.reporter().appendLog(u"Get Error while try to get content of folder: " + listing.error);
        return;
    }
    bool changed = false;
    for (const OutlineViewItem &record : libraryProducts) {
        const QString fileName = pictureFileName(record.product_name);
        if (!acceptsName(record.product_name) || !listing.fileNames.contains(fileName))
            continue;
        qCDebug(klvLibrary).noquote() << "Stored product image:" << record.product_id
                                      << escapeControlCharacters(fileName);
        if (!m_services.productImageMap.contains(record.product_id)) {
            m_services.productImageMap.insert(record.product_id, QUrl::fromLocalFile(folder + fileName));
            changed = true;
        }
    }
    if (changed)
        saveMap();
}

QImage ProductImages::cropProductImage(const QImage &picture) {
    if (picture.isNull())
        return {};
    const double scale = std::max(picture.width() / cropFrame, picture.height() / cropFrame);
    // Whole pixels covering the scaled square, clipped to the picture, as bitmap cropping does.
    const QRect area =
        QRectF(24 * scale, 20 * scale, 50 * scale, 50 * scale).toAlignedRect().intersected(picture.rect());
    return area.isEmpty() ? QImage() : picture.copy(area);
}

bool ProductImages::acceptsName(const QString &productName) {
    if (isSafePathComponent(productName))
        return true;
    // Rows ask again on every display; one line per name is enough.
    if (!m_refusedNames.contains(productName)) {
        m_refusedNames.insert(productName);
        m_services.reporter().appendLog(u"No product picture for \"" + productName +
                                        u"\": the name cannot be a file name");
    }
    return false;
}

void ProductImages::download(const OutlineViewItem &record) {
    const std::optional<QUrl> link = wholeTextLink(record.product_image_url);
    if (!link)
        return;
    const auto running = m_downloads.find(record.product_name);
    if (running != m_downloads.end()) {
        if (!running->contains(record.product_id))
            running->append(record.product_id);
        return;
    }
    QNetworkRequest request(*link);
    m_services.store().prepare(request);
    QNetworkReply *reply = m_services.network().get(request);
    auto *body = new BoundedReplyBody(*reply, maxPictureBytes);
    m_downloads.insert(record.product_name, {record.product_id});
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, name = record.product_name] {
        reply->deleteLater();
        finishDownload(name, *reply, body->take());
    });
}

void ProductImages::finishDownload(const QString &productName, const QNetworkReply &reply, const QByteArray &body) {
    const QList<qint64> productIds = m_downloads.take(productName);
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An error page is no picture; leaving the file unwritten lets the next request for the row try again.
    if (reply.error() != QNetworkReply::NoError || status < 200 || status > 299 || body.isEmpty())
        return;

    const QString path = m_services.locations().productImageFolderURL + pictureFileName(productName);
    if (const Error error = writeFileAtomically(path, body)) {
        m_services.reporter().appendLog(u"E_04 : Failed to write file to USER_IMAGE_FOLDERURL _ " + *error);
        return;
    }
    remember(productIds, path);
    const QImage cropped = cropProductImage(QImage::fromData(body));
    for (const qint64 productId : productIds)
        Q_EMIT productImageReady(productId, productName, cropped);
}

void ProductImages::remember(const QList<qint64> &productIds, const QString &filePath) {
    for (const qint64 productId : productIds)
        m_services.productImageMap.insert(productId, QUrl::fromLocalFile(filePath));
    saveMap();
}

void ProductImages::saveMap() const {
    if (const Error error = m_services.saveProductImageMap())
        qCWarning(klvLibrary).noquote() << "KLVApp: Error during write Image data to file" << *error;
}

} // namespace klv
