#pragma once

#include <mutex>
#include <optional>

#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace klv::storeservice {

// The store's data: DIR/store.json, one JSON object with a section per kind of data ("accounts", …), and the
// files served below DIR/files. Tests edit store.json while the store runs, so it is read again whenever the file
// changes; an edit that cannot be used keeps the previous content. Safe to use from the server's worker threads.
class Catalog final {
public:
    explicit Catalog(const QString &directory);
    Q_DISABLE_COPY_MOVE(Catalog)

    // Reads store.json now; the reason when it cannot be read or is not a JSON object.
    std::optional<QString> load();
    // The current content, read again first when store.json changed since the last look.
    QJsonObject content();
    QString filesDirectory() const;
    // The store's web site: plain files served from the root of the address.
    QString siteDirectory() const;

private:
    // Modification time alone misses quick rewrites within one clock tick; size and inode catch most of those.
    struct FileStamp {
        qint64 modified = 0;
        qint64 changed = 0;
        qint64 size = 0;
        quint64 inode = 0;
        bool operator==(const FileStamp &) const = default;
    };

    std::optional<FileStamp> stamp() const;
    std::optional<QJsonObject> read(QString &error) const;

    QString m_directory;
    QString m_path;
    std::mutex m_mutex;
    std::optional<FileStamp> m_stamp;
    QJsonObject m_content;
};

} // namespace klv::storeservice
