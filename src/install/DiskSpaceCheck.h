#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include <sys/types.h>

namespace klv {

// Adds up what a piece of work will write into each folder, per file system, and tells whether it fits in what is
// free there. Folders that do not exist yet count on the file system of their nearest existing parent.
class DiskSpaceCheck final {
public:
    struct Shortfall {
        // The folders on the disk that lacks room, in the order they were first named.
        QStringList folders;
        qint64 needed = 0;
        qint64 available = 0;

        QString message() const;
    };

    void add(const QString &folder, qint64 bytes);
    // The first disk whose folders need more than is free on it; nothing when every disk has room (or could not be
    // examined: the work itself then reports what goes wrong).
    std::optional<Shortfall> shortfall() const;

private:
    struct Disk {
        dev_t device = 0;
        QStringList folders;
        qint64 needed = 0;
        qint64 available = -1;
    };

    QList<Disk> m_disks;
};

} // namespace klv
