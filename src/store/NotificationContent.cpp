#include "store/NotificationContent.h"

namespace klv {

namespace {

std::optional<QString> textOf(const QVariantMap &userInfo, QLatin1StringView key) {
    const QVariant value = userInfo.value(QString(key));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

std::optional<NotificationContent> NotificationContent::make(notificationType kind, const QVariantMap &userInfo) {
    NotificationContent content;
    switch (kind) {
    case notificationType::installComplete: {
        const std::optional<QString> productName = textOf(userInfo, productNameKey);
        if (!productName)
            return std::nullopt;
        content.title = QStringLiteral("KLV App");
        content.subtitle = *productName + u" installation complete";
        break;
    }
    case notificationType::buySale: {
        const std::optional<QString> title = textOf(userInfo, mainStringKey);
        const std::optional<QString> subtitle = textOf(userInfo, subStringKey);
        if (!title || !subtitle)
            return std::nullopt;
        content.title = *title;
        content.subtitle = *subtitle;
        content.categoryIdentifier = QString(buySaleCategory);
        break;
    }
    case notificationType::news:
        break;
    case notificationType::klvAppUpdate:
        // Whoever announces an update says what in the sale texts' keys; the buttons are what matters.
        content.title = textOf(userInfo, mainStringKey).value_or(QString());
        content.subtitle = textOf(userInfo, subStringKey).value_or(QString());
        content.categoryIdentifier = QString(updateAppCategory);
        break;
    }
    content.actions = actionsOf(content.categoryIdentifier);
    return content;
}

QList<NotificationContent::Action> NotificationContent::actionsOf(const QString &categoryIdentifier) {
    if (categoryIdentifier == buySaleCategory)
        return {{QStringLiteral("buy"), QStringLiteral("Buy")}};
    if (categoryIdentifier == updateAppCategory)
        return {{QStringLiteral("later"), QStringLiteral("Update Later")},
                {QStringLiteral("now"), QStringLiteral("Update Now")}};
    return {};
}

} // namespace klv
