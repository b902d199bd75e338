#include "offers/MarketingProductModel.h"

#include "library/ProductImages.h"

#include <array>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {

// What the picture service needs to find, store and fetch a marketed product's picture.
OutlineViewItem pictureRecord(const OnSaleProductInfo &product) {
    OutlineViewItem record;
    record.product_id = product.product_id;
    record.product_name = product.product_name;
    record.product_image_url = product.product_image;
    return record;
}

} // namespace

MarketingProductModel::MarketingProductModel(ProductImages &images, QObject *parent)
    : QAbstractTableModel(parent)
    , m_pictures(images, pictureSide) {
    connect(&images, &ProductImages::productImageReady, this,
            [this](qint64 productId, const QString &, const QImage &cropped) { pictureArrived(productId, cropped); });
}

void MarketingProductModel::setProducts(const QList<OnSaleProductInfo> &products) {
    beginResetModel();
    m_products = products;
    endResetModel();
}

const OnSaleProductInfo *MarketingProductModel::product(const QModelIndex &index) const {
    if (!index.isValid() || index.row() >= m_products.size())
        return nullptr;
    return &m_products.at(index.row());
}

QPixmap MarketingProductModel::picture(const QModelIndex &index, qreal devicePixelRatio) const {
    const OnSaleProductInfo *row = product(index);
    return row ? m_pictures.picture(pictureRecord(*row), devicePixelRatio) : QPixmap();
}

int MarketingProductModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_products.size());
}

int MarketingProductModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : columns;
}

QVariant MarketingProductModel::data(const QModelIndex &index, int role) const {
    const OnSaleProductInfo *row = product(index);
    if (!row || index.column() != nameColumn)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row->product_name;
    case Qt::AccessibleDescriptionRole:
        return row->product_shortDesc;
    default:
        return {};
    }
}

QVariant MarketingProductModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    static const std::array<QString, columns> titles{tr("Picture"), tr("Product"), tr("Actions")};
    return section >= 0 && section < columns ? QVariant(titles.at(std::size_t(section))) : QVariant();
}

Qt::ItemFlags MarketingProductModel::flags(const QModelIndex &index) const {
    // Rows are never selected; they take the keyboard's focus so Enter can press "View".
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void MarketingProductModel::pictureArrived(qint64 productId, const QImage &cropped) {
    if (!m_pictures.pictureArrived(productId, cropped) || m_products.isEmpty())
        return;
    Q_EMIT dataChanged(index(0, pictureColumn), index(int(m_products.size()) - 1, pictureColumn));
}

} // namespace klv::ui
