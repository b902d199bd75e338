#include "core/SharedFormatters.h"

#include <QLocale>

#include <array>
#include <cstdio>

namespace klv {

QString DateFormatter::string(const QDateTime &date) const {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(date.toLocalTime(), dateFormat);
}

QString NumberFormatter::string(double value) const {
    // The C library's printf rounds the exact binary value with ties to even, the formatter's rounding;
    // QString::asprintf has its own rounding.
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f", value);
    QString text = QString::fromLatin1(buffer.data());
    const bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    const qsizetype integerDigits = text.indexOf(u'.') < 0 ? text.size() : text.indexOf(u'.');
    if (integerDigits < 2)
        text.prepend(QString(2 - integerDigits, u'0'));
    if (negative && text != u"00")
        text.prepend(u'-');
    return text;
}

} // namespace klv
