#include "install/ReplacementFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace klv {

ReplacementFile::ReplacementFile(const QString &target)
    : m_target(QFile::encodeName(target))
    , m_path(QFile::encodeName(QFileInfo(target).path() + u"/.klv-replace-XXXXXX")) {}

ReplacementFile::~ReplacementFile() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        ::unlink(m_path.constData());
    }
}

bool ReplacementFile::failed() {
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool ReplacementFile::open() {
    m_descriptor = ::mkostemp(m_path.data(), O_CLOEXEC);
    return m_descriptor >= 0 || failed();
}

bool ReplacementFile::write(const char *data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(m_descriptor, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return failed();
        }
        data += written;
        size -= written;
    }
    return true;
}

bool ReplacementFile::commit() {
    struct stat target {};
    if (::stat(m_target.constData(), &target) != 0 || ::fchmod(m_descriptor, target.st_mode & 07777) != 0)
        return failed();
    // Closing reports late write errors, which some file systems give only then.
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    if (::close(descriptor) != 0 || ::rename(m_path.constData(), m_target.constData()) != 0) {
        failed();
        ::unlink(m_path.constData());
        return false;
    }
    return true;
}

} // namespace klv
