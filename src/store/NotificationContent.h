#pragma once

#include "store/NotificationType.h"

#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace klv {

// One notification as the system shows it: its texts, the category that decides its buttons and how an answer
// is handled, and the picture shown with it.
struct NotificationContent {
    struct Action {
        QString identifier;
        QString title;
        bool operator==(const Action &) const = default;
    };

    static constexpr QLatin1StringView productNameKey{"Request Data Product Name"};
    static constexpr QLatin1StringView mainStringKey{"Request Data Main String"};
    static constexpr QLatin1StringView subStringKey{"Request Data Sub String"};
    static constexpr QLatin1StringView buySaleCategory{"buySale"};
    static constexpr QLatin1StringView updateAppCategory{"updateApp"};

    // Built from the kind and its user-info; nothing when the user-info lacks a text the kind shows.
    static std::optional<NotificationContent> make(notificationType kind, const QVariantMap &userInfo);
    // The buttons of a category, in the order they are shown.
    static QList<Action> actionsOf(const QString &categoryIdentifier);

    // Every notification has the same identifier, so a newer one replaces a pending older one.
    QString identifier = QStringLiteral("notificationId");
    QString title;
    QString subtitle;
    QString categoryIdentifier;
    QList<Action> actions;
    // The company logo as a local file; empty when it could not be had.
    QString attachmentPath;
};

} // namespace klv
