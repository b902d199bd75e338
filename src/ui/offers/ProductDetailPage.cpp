#include "offers/ProductDetailPage.h"

#include "controls/RoundedImageView.h"
#include "controls/StoreWebView.h"
#include "marketing/ProductPictureDownload.h"
#include "store/DesktopServices.h"
#include "store/Services.h"
#include "style/FormStyle.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {

constexpr int pictureSide = 300;
constexpr int videoHeight = 328;

QLabel *textLabel(const QString &objectName, const char *look, QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    setLook(*label, look);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

ProductDetailPage::ProductDetailPage(Services &services, const OnSaleProductInfo &product, QWidget *parent)
    // A dialog's type, so that the window manager keeps it over the main window and with it (a plain window is
    // not tied to its parent on X11).
    : QWidget(parent, Qt::Dialog)
    , m_services(services)
    , m_product(product)
    , m_detail(ProductDetail::describe(product, services.configuration()))
    , m_backButtonOutlet(new QPushButton(this))
    , m_bigProductImage(new RoundedImageView(12, this))
    , m_addToCartOutlet(new QPushButton(u"ADD TO CART"_s, this))
    , m_vimeoView(new StoreWebView(this)) {
    setObjectName(u"ProductViewController"_s);
    setWindowTitle(m_detail.name);
    setFixedSize(pageSize);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme::color(NamedColor::productPageBackground));
    setPalette(palette);

    m_backButtonOutlet->setObjectName(u"backButtonOutlet"_s);
    m_backButtonOutlet->setText(tr("Back"));
    m_backButtonOutlet->setIcon(IconLibrary::icon(u"back"_s));
    m_backButtonOutlet->setAccessibleName(tr("Back"));
    m_backButtonOutlet->setCursor(Qt::PointingHandCursor);
    setLook(*m_backButtonOutlet, "back");
    connect(m_backButtonOutlet, &QPushButton::clicked, this, &QWidget::close);

    m_bigProductImage->setObjectName(u"bigProductImage"_s);
    m_bigProductImage->setFixedSize(pictureSide, pictureSide);
    m_bigProductImage->setAccessibleName(m_detail.name);

    m_addToCartOutlet->setObjectName(u"addToCartOutlet"_s);
    m_addToCartOutlet->setFixedSize(pictureSide, 46);
    m_addToCartOutlet->setCursor(Qt::PointingHandCursor);
    setLook(*m_addToCartOutlet, "addToCart");
    connect(m_addToCartOutlet, &QPushButton::clicked, this, &ProductDetailPage::addToCartClicked);

    m_vimeoView->setObjectName(u"vimeoView"_s);
    m_vimeoView->setFixedHeight(videoHeight);
    m_vimeoView->setAccessibleName(tr("Product video"));
    m_vimeoView->page()->setBackgroundColor(theme::color(NamedColor::videoBackground));
    // The player is asked for silence too; the page never plays sound, whatever the player does.
    m_vimeoView->page()->setAudioMuted(true);
    if (m_detail.videoUrl)
        m_vimeoView->load(*m_detail.videoUrl);

    auto *leftColumn = new QVBoxLayout;
    leftColumn->setSpacing(18);
    leftColumn->addWidget(m_bigProductImage);
    leftColumn->addWidget(m_addToCartOutlet);
    leftColumn->addStretch();

    auto *content = new QHBoxLayout;
    content->setSpacing(32);
    content->addLayout(leftColumn);
    content->addWidget(buildTextColumn(), 1);

    auto *topBar = new QHBoxLayout;
    topBar->addWidget(m_backButtonOutlet);
    topBar->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 32, 24);
    layout->setSpacing(14);
    layout->addLayout(topBar);
    layout->addLayout(content, 1);
    setTabOrder(m_backButtonOutlet, m_addToCartOutlet);
    // The page itself holds the keyboard when it opens: on the first control, Back, a focus ring would show before
    // anyone pressed Tab.
    setFocusPolicy(Qt::StrongFocus);
    setFocus(Qt::OtherFocusReason);

    fetchPicture();
}

QWidget *ProductDetailPage::buildTextColumn() {
    auto *column = new QWidget(this);
    m_productNameLabel = textLabel(u"productNameLabel"_s, "productName", column);
    m_productNameLabel->setText(m_detail.name);
    m_productShortDesc = textLabel(u"productShortDesc"_s, "productSummary", column);
    m_productShortDesc->setText(m_detail.shortDescription);
    m_longDesc = textLabel(u"longDesc"_s, "productDescription", column);
    m_longDesc->setText(m_detail.longDescription);
    m_longDesc->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_productNameLabel);
    layout->addWidget(m_productShortDesc);
    layout->addSpacing(12);
    layout->addWidget(m_vimeoView);
    layout->addSpacing(12);
    layout->addWidget(m_longDesc, 1);
    return column;
}

void ProductDetailPage::fetchPicture() {
    if (!m_detail.pictureUrl) {
        m_pictureSettled = true;
        return;
    }
    auto *download = new ProductPictureDownload(m_services, *m_detail.pictureUrl, this);
    connect(download, &ProductPictureDownload::finished, this, [this, download](const QImage &cropped) {
        download->deleteLater();
        m_bigProductImage->setImage(cropped);
        m_pictureSettled = true;
        Q_EMIT pictureSettled();
    });
}

void ProductDetailPage::addToCartClicked() {
    m_services.desktop().openUrl(m_detail.cartUrl);
}

} // namespace klv::ui
