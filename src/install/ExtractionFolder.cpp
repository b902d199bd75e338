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
        ::close(m_openFolders.back().descriptor);
        m_openFolders.pop_back();
    }
}

int ExtractionFolder::openFolder(int parent, bool parentCreated, const QByteArray &name, mode_t mode, bool &created) {
    created = false;
    // In a folder this unpacking made, a folder is new unless the unpacking made it already: making it first saves
    // a failed open.
    int folder = parentCreated ? -1 : ::openat(parent, name.constData(), folderFlags);
    if (folder < 0 && (parentCreated || errno == ENOENT)) {
        if (::mkdirat(parent, name.constData(), mode) == 0)
            created = true;
        else if (errno != EEXIST)
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
           m_openFolders[kept].name == QFile::encodeName(components[qsizetype(kept)]))
        ++kept;
    closeFrom(kept);
    for (size_t level = kept; level < depth; ++level) {
        const int parent = level == 0 ? m_root : m_openFolders.back().descriptor;
        const bool parentCreated = level > 0 && m_openFolders.back().created;
        QByteArray name = QFile::encodeName(components[qsizetype(level)]);
        bool created = false;
        const int folder = openFolder(parent, parentCreated, name, impliedFolderMode, created);
        if (folder < 0)
            return folder;
        m_openFolders.push_back({std::move(name), folder, created});
    }
    return depth == 0 ? m_root : m_openFolders.back().descriptor;
}

int ExtractionFolder::makeFolder(const QStringList &components, mode_t mode) {
    const int parent = parentOf(components);
    if (parent < 0)
        return -parent;
    QByteArray name = QFile::encodeName(components.last());
    // A folder entry is most often new, and what follows it is most often inside it: it stays open for that.
    const bool created = ::mkdirat(parent, name.constData(), mode) == 0;
    if (!created && errno != EEXIST)
        return -failure();
    const int folder = ::openat(parent, name.constData(), folderFlags);
    if (folder < 0)
        return -failure();
    m_openFolders.push_back({std::move(name), folder, created});
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
