#include "marketing/MarketingOutcome.h"

namespace klv {

using namespace Qt::StringLiterals;

QString refusalReason(const QJsonValue &status, const QString &message) {
    // A store that sends "true" as text has not said yes; its message may well read like a success.
    if (!status.isBool())
        return message.isEmpty() ? u"its status is not a boolean"_s
                                 : u"its status is not a boolean ("_s + message + u')';
    return message.isEmpty() ? u"no reason given"_s : message;
}

} // namespace klv
