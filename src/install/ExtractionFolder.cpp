#include "install/ExtractionFolder.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace klv {
namespace {

constexpr mode_t impliedFolderMode = 0755;
constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Minus errno, for the descriptor-or-error results.
int failure() {
    return errno == 0 ? -EIO : -errno;
}

} // namespace

ExtractionFolder::ExtractionFolder(const QString &root)
    : m_root(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_root < 0)
        m_root = failure();
}

ExtractionFolder::~ExtractionFolder() {
    closeFrom(0);
    if (m_root >= 0)
        ::close(m_root);
}

void ExtractionFolder::closeFrom(size_t depth) {
    while (m_openFolders.size() > depth) {
        ::close(m_openFolders.back().second);
        m_openFolders.pop_back();
    }
}

int ExtractionFolder::openFolder(int parent, const QByteArray &name, mode_t mode) {
    int folder = ::openat(parent, name.constData(), folderFlags);
    if (folder < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name.constData(), mode) != 0 && errno != EEXIST)
            return failure();
        folder = ::openat(parent, name.constData(), folderFlags);
    }
    // A link there gives ELOOP, a file ENOTDIR: both refuse to go on.
    return folder < 0 ? failure() : folder;
}

int ExtractionFolder::parentOf(const QStringList &components) {
    if (m_root < 0)
        return m_root;
    const size_t depth = size_t(components.size()) - 1;
    size_t kept = 0;
    while (kept < m_openFolders.size() && kept < depth &&
           m_openFolders[kept].first == QFile::encodeName(components[qsizetype(kept)]))
        ++kept;
    closeFrom(kept);
    for (size_t level = kept; level < depth; ++level) {
        const int parent = level == 0 ? m_root : m_openFolders.back().second;
        QByteArray name = QFile::encodeName(components[qsizetype(level)]);
        const int folder = openFolder(parent, name, impliedFolderMode);
        if (folder < 0)
            return folder;
        m_openFolders.emplace_back(std::move(name), folder);
    }
    return depth == 0 ? m_root : m_openFolders.back().second;
}

int ExtractionFolder::makeFolder(const QStringList &components, mode_t mode) {
    const int parent = parentOf(components);
    if (parent < 0)
        return -parent;
    const int folder = openFolder(parent, QFile::encodeName(components.last()), mode);
    if (folder < 0)
        return -folder;
    ::close(folder);
    return 0;
}

int ExtractionFolder::createFile(const QStringList &components, mode_t mode) {
    const int parent = parentOf(components);
    if (parent < 0)
        return parent;
    const QByteArray name = QFile::encodeName(components.last());
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int file = ::openat(parent, name.constData(), flags, mode);
    if (file < 0 && errno == EEXIST) {
        struct stat existing {};
        if (::fstatat(parent, name.constData(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
            return failure();
        if (S_ISLNK(existing.st_mode))
            return -ELOOP;
        if (S_ISDIR(existing.st_mode))
            return -EISDIR;
        // Replaced rather than rewritten in place, like an unpacking tool does: a hard link to it elsewhere keeps
        // its content.
        if (::unlinkat(parent, name.constData(), 0) != 0)
            return failure();
        file = ::openat(parent, name.constData(), flags, mode);
    }
    return file < 0 ? failure() : file;
}

int ExtractionFolder::setTimes(const QStringList &components, const timespec (&times)[2]) {
    const int parent = parentOf(components);
    if (parent < 0)
        return -parent;
    return ::utimensat(parent, QFile::encodeName(components.last()).constData(), times, AT_SYMLINK_NOFOLLOW) == 0
               ? 0
               : errno;
}

} // namespace klv
