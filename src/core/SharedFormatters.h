#pragma once

#include <QDateTime>
#include <QString>

namespace klv {

// Dates for display: the "en_US" locale with a settable pattern, in local time.
class DateFormatter final {
public:
    QString dateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QString string(const QDateTime &date) const;
};

// Numbers for display: at most two fraction digits (ties to even), at least two integer digits,
// "." as the separator, no trailing zeros: 5 -> "05", 45.67 -> "45.67", 100 -> "100".
class NumberFormatter final {
public:
    QString string(double value) const;
};

} // namespace klv
