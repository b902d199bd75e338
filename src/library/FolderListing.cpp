#include "library/FolderListing.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>

namespace klv {

namespace {

// The folder's names, empty when it does not exist; nothing when it stands but cannot be read, since a name in it
// may still be reachable.
std::optional<QSet<QByteArray>> namesIn(const QByteArray &folder) {
    DIR *directory = ::opendir(folder.constData());
    if (!directory) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QSet<QByteArray>();
        return std::nullopt;
    }
    QSet<QByteArray> names;
    bool whole = true;
    while (true) {
        errno = 0;
        const dirent *entry = ::readdir(directory);
        if (!entry) {
            whole = errno == 0;
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.insert(QByteArray(entry->d_name));
    }
    ::closedir(directory);
    if (!whole)
        return std::nullopt;
    return names;
}

} // namespace

FolderListing::FolderListing(const QList<QByteArray> &folders) {
    for (const QByteArray &folder : folders) {
        if (std::optional<QSet<QByteArray>> names = namesIn(folder))
            m_namesByFolder.append({folder, std::move(*names)});
    }
}

std::optional<bool> FolderListing::contains(const QByteArray &folder, const QByteArray &name) const {
    for (const auto &[listed, names] : m_namesByFolder) {
        if (listed == folder)
            return names.contains(name);
    }
    return std::nullopt;
}

} // namespace klv
