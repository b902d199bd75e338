#pragma once

#include <QImage>
#include <QObject>
#include <QUrl>

namespace klv {

class Services;

// Fetches the large picture of a product detail page once, straight from its address, and crops it the way the
// rows crop theirs. Lives on the main thread; deleting it drops a download still running.
class ProductPictureDownload final : public QObject {
    Q_OBJECT
public:
    ProductPictureDownload(Services &services, const QUrl &pictureUrl, QObject *parent = nullptr);

Q_SIGNALS:
    // The cropped picture; null when the address answered with an error, no body, or no picture.
    void finished(const QImage &cropped);
};

} // namespace klv
