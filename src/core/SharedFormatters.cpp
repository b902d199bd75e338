#include "core/SharedFormatters.h"

#include <QLocale>

namespace klv {

QString DateFormatter::string(const QDateTime &date) const
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(date.toLocalTime(), dateFormat);
}

QString NumberFormatter::string(double value) const
{
    // printf rounds the exact binary value, ties to even, which is the formatter's rounding.
    QString text = QString::asprintf("%.2f", value);
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
