#include "controls/PopoverText.h"

#include <QRegularExpression>

namespace klv::ui {

namespace {

QString escapedLines(const QString &text) {
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

} // namespace

QString popoverRichText(const QString &infoMessage, PopoverLinks links) {
    QString text = infoMessage;
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    QRegularExpressionMatch address;
    if (links == PopoverLinks::firstHttpsAddress) {
        static const QRegularExpression httpsAddress(QStringLiteral("https://\\S+"));
        address = httpsAddress.match(text);
    }
    if (!address.hasMatch()) {
        return escapedLines(text);
    }
    // The link takes its colour from the theme's palette.
    const QString link = address.captured().toHtmlEscaped();
    return escapedLines(text.left(address.capturedStart())) + QStringLiteral("<a href=\"%1\">%1</a>").arg(link) +
           escapedLines(text.mid(address.capturedEnd()));
}

} // namespace klv::ui
