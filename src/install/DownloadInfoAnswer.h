#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace klv {

// The store's answer to "requestDownloadInfo", read as the installation queue takes it: a refusal, a yes that
// names nothing to install, or what to queue. Only an accepted answer carries entries.
struct DownloadInfoAnswer {
    enum class Kind { accepted, nothingToInstall, refused };
    Kind kind = Kind::refused;
    // The store's message of a refusal; it may be empty.
    QString message;
    // Product number (as text) to its template entry; the entries are read when they are queued.
    QJsonObject templateData;
    QJsonArray compositeData;
    // Plug-ins the installation must not close.
    QStringList notAutomaticKill;

    static DownloadInfoAnswer decode(const QJsonObject &answer);
};

} // namespace klv
