#pragma once

#include "library/OutlineViewItem.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QNetworkReply;

namespace klv {

class Services;

// The small product pictures of the library and marketing rows. A picture is downloaded once from the product's
// picture address, kept as "<product_name>.png" in the picture folder and remembered in the shared picture map,
// whose file is rewritten on every change. Lives on the main thread.
class ProductImages final : public QObject {
    Q_OBJECT
public:
    explicit ProductImages(Services &services, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ProductImages)

    // The cropped stored picture of the record, at once. A null image means there is none to show yet: the front
    // end draws its placeholder asset. When the picture has to be downloaded, productImageReady follows.
    QImage productImage(const OutlineViewItem &record);
    // The file of the record's stored picture, without reading it, so that a front end may decode it elsewhere;
    // empty, with the same download as productImage, when there is none yet.
    QString storedPicturePath(const OutlineViewItem &record);
    // Maps every picture already in the folder to the products of the library that have no entry yet.
    void registerStoredProductImages(const QList<OutlineViewItem> &libraryProducts);

    // The part of the picture the rows show: a fixed square of a 120 by 120 frame scaled to the picture's larger
    // side. Null when nothing of the picture falls inside it.
    static QImage cropProductImage(const QImage &picture);

Q_SIGNALS:
    // A downloaded picture was stored for the record with this id and name. The image is null when the body was
    // not a picture; it is tied to the record, since a view may have reused the row that asked for it.
    void productImageReady(qint64 productId, const QString &productName, const QImage &cropped);

private:
    bool acceptsName(const QString &productName);
    void download(const OutlineViewItem &record);
    void finishDownload(const QString &productName, const QNetworkReply &reply, const QByteArray &body);
    void remember(const QList<qint64> &productIds, const QString &filePath);
    void saveMap() const;

    Services &m_services;
    // Product ids waiting for each picture file being downloaded: one download per file.
    QHash<QString, QList<qint64>> m_downloads;
    QSet<QString> m_refusedNames;
};

} // namespace klv
