#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

#include <optional>
#include <utility>

namespace klv {

// The names in a few folders, read once. Detecting a library of a quarter of a million products asks millions of
// times whether a name stands in one of the same eight folders; asked of the file system, each miss costs a path
// walk and a new negative cache entry in the kernel. A folder that could not be listed is not answered for.
class FolderListing final {
public:
    // Folders as encoded paths, each ending in '/'.
    explicit FolderListing(const QList<QByteArray> &folders);

    // Whether the name stands in the folder, or nothing when the folder is not one of the listed ones.
    std::optional<bool> contains(const QByteArray &folder, const QByteArray &name) const;

private:
    // A handful of folders: a list scanned beats hashing a long path at every question.
    QList<std::pair<QByteArray, QSet<QByteArray>>> m_namesByFolder;
};

} // namespace klv
