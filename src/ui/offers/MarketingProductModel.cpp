#include "offers/MarketingProductModel.h"

#include "library/ProductImages.h"

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
    if (!row)
        return {};
    switch (index.column()) {
    case nameColumn:
        if (role == Qt::DisplayRole)
            return row->product_name;
        if (role == Qt::AccessibleTextRole)
            return QString(row->product_name + u", "_s + row->product_shortDesc);
        return {};
    case actionColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return u"View"_s;
        return {};
    default:
        return role == Qt::AccessibleTextRole ? QVariant(row->product_name) : QVariant();
    }
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
