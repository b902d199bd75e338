#include "FuzzExpect.h"

#include "marketing/MarketingAnswer.h"

#include <QJsonDocument>
#include <QSet>

#include <cstdint>

using klv::fuzz::expect;

namespace {

void expectUniqueNumbers(const klv::MarketingAnswer::Products &list) {
    QSet<qint64> numbers;
    for (const klv::OnSaleProductInfo &product : list.products)
        numbers.insert(product.product_id);
    expect(numbers.size() == list.products.size(), "each product number is listed once");
}

} // namespace

// The first byte picks the request ("marketingInfo" or "saleInfo"), the rest is the answer. A refused answer yields
// no sale and no products; an accepted one lists each product once.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    if (!document.isObject())
        return 0;
    const klv::MarketingAnswer answer = data[0] % 2 == 0 ? klv::MarketingAnswer::decodeMarketingInfo(document.object())
                                                         : klv::MarketingAnswer::decodeSaleInfo(document.object());
    if (answer.refusal) {
        expect(!answer.refusal->isEmpty(), "a refusal says why");
        expect(answer.saleItems.products.isEmpty() && answer.freeItems.products.isEmpty() &&
                   answer.saleItems.skipped.isEmpty() && answer.freeItems.skipped.isEmpty() &&
                   answer.sale.title.isEmpty() && !answer.sale.discountPercent && answer.sale.endDate.isEmpty(),
               "a refused marketing answer yields nothing");
        return 0;
    }
    expectUniqueNumbers(answer.saleItems);
    expectUniqueNumbers(answer.freeItems);
    if (answer.sale.discountPercent)
        expect(answer.sale.discountText.contains(QString::number(*answer.sale.discountPercent).remove(u'-')),
               "a discount read is the number the store sent");
    return 0;
}
