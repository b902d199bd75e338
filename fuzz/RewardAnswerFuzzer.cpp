#include "FuzzExpect.h"

#include "marketing/RewardAnswer.h"
#include "marketing/RewardTier.h"

#include <QJsonDocument>

#include <cstdint>

using klv::fuzz::expect;

// A refused reward answer yields no total and no coupons; an accepted one gives every tier a row however odd the
// total spent, and at most one coupon per tier it lists.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!document.isObject())
        return 0;
    const klv::RewardAnswer answer = klv::RewardAnswer::decode(document.object());
    if (answer.refusal) {
        expect(answer.totalSpent == 0.0 && !answer.coupons, "a refused reward answer yields nothing");
        return 0;
    }
    for (int row = 0; row < 10; ++row) {
        const std::optional<klv::RewardItem> coupon =
            answer.coupons && row < answer.coupons->size() ? std::optional(answer.coupons->at(row)) : std::nullopt;
        const klv::RewardTier tier = klv::RewardTier::describe(row, answer.totalSpent, coupon);
        expect(tier.tier == row + 1 && !tier.state.isEmpty(), "every tier has its row and a state");
    }
    return 0;
}
