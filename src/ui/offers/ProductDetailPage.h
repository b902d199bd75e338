#pragma once

#include "library/OnSaleProductInfo.h"
#include "marketing/ProductDetail.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace klv {
class Services;
}

namespace klv::ui {

class RoundedImageView;
class StoreWebView;

// A marketed product in a window of its own: the large picture, the name, the short and long description, the
// product's looping muted video, "ADD TO CART" and the back button. The window cannot be resized.
class ProductDetailPage final : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize pageSize{980, 640};

    ProductDetailPage(Services &services, const OnSaleProductInfo &product, QWidget *parent = nullptr);

    const OnSaleProductInfo &product() const { return m_product; }
    const ProductDetail &detail() const { return m_detail; }
    RoundedImageView &pictureView() const { return *m_bigProductImage; }
    QLabel &nameLabel() const { return *m_productNameLabel; }
    QLabel &shortDescriptionLabel() const { return *m_productShortDesc; }
    QLabel &longDescriptionLabel() const { return *m_longDesc; }
    QPushButton &addToCartButton() const { return *m_addToCartOutlet; }
    QPushButton &backButton() const { return *m_backButtonOutlet; }
    StoreWebView &videoView() const { return *m_vimeoView; }
    // Whether the picture download has ended, with or without a picture.
    bool isPictureSettled() const { return m_pictureSettled; }

Q_SIGNALS:
    void pictureSettled();

private:
    QWidget *buildTextColumn();
    void fetchPicture();
    void addToCartClicked();

    Services &m_services;
    OnSaleProductInfo m_product;
    ProductDetail m_detail;
    QPushButton *m_backButtonOutlet;
    RoundedImageView *m_bigProductImage;
    QPushButton *m_addToCartOutlet;
    QLabel *m_productNameLabel;
    QLabel *m_productShortDesc;
    QLabel *m_longDesc;
    StoreWebView *m_vimeoView;
    bool m_pictureSettled = false;
};

} // namespace klv::ui
