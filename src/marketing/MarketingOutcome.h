#pragma once

#include <QJsonValue>
#include <QString>

namespace klv {

// How one marketing or reward request ended.
enum class MarketingOutcome {
    succeeded,
    // The store answered with a status other than true; nothing changed.
    refused,
    // No answer, or one that could not be read; nothing changed.
    noAnswer,
};

// Why an answer with that "status" and "msg" counts as a refusal, in words for the customer.
QString refusalReason(const QJsonValue &status, const QString &message);

} // namespace klv
