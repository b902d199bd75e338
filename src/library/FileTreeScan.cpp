#include "library/FileTreeScan.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

namespace klv {

namespace {

qint64 nanoseconds(const struct timespec &time) {
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

ScannedFile fileOf(const QByteArray &path, const struct stat &status) {
    return {QFile::decodeName(path), qint64(status.st_size), nanoseconds(status.st_mtim), {}};
}

// Below an open folder, by file descriptor, so that each entry costs one fstatat.
void walk(int folder, const QByteArray &path, QList<ScannedFile> &files) {
    DIR *listing = ::fdopendir(folder);
    if (!listing) {
        ::close(folder);
        return;
    }
    while (const dirent *entry = ::readdir(listing)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        const QByteArray child = path + '/' + name;
        if (entry->d_type == DT_DIR) {
            const int sub = ::openat(::dirfd(listing), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                walk(sub, child, files);
            continue;
        }
        struct stat status {};
        if (::fstatat(::dirfd(listing), name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            const int sub = ::openat(::dirfd(listing), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                walk(sub, child, files);
        } else {
            files.append(fileOf(child, status));
        }
    }
    ::closedir(listing);
}

} // namespace

QList<ScannedFile> FileTreeScan::list(const QStringList &roots) {
    QList<ScannedFile> files;
    for (const QString &root : roots) {
        QByteArray path = QFile::encodeName(root);
        while (path.size() > 1 && path.endsWith('/'))
            path.chop(1);
        struct stat status {};
        if (::lstat(path.constData(), &status) != 0)
            continue;
        if (!S_ISDIR(status.st_mode)) {
            files.append(fileOf(path, status));
            continue;
        }
        if (const int folder = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); folder >= 0)
            walk(folder, path, files);
    }
    std::sort(files.begin(), files.end(), [](const ScannedFile &a, const ScannedFile &b) { return a.path < b.path; });
    return files;
}

bool FileTreeScan::stat(const QString &path, ScannedFile &file) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || S_ISDIR(status.st_mode))
        return false;
    file.size = qint64(status.st_size);
    file.modified = nanoseconds(status.st_mtim);
    return true;
}

void FileTreeScan::hash(QList<ScannedFile> &files) {
    std::atomic<qsizetype> next{0};
    const auto work = [&files, &next] {
        for (qsizetype i = next++; i < files.size(); i = next++)
            files[i].sha256 = sha256(files[i].path);
    };
    const unsigned helpers = std::min<unsigned>(std::max(1U, std::thread::hardware_concurrency()), 8) - 1;
    std::vector<std::jthread> threads;
    for (unsigned i = 0; i < helpers && i + 1 < unsigned(files.size()); ++i)
        threads.emplace_back(work);
    work();
}

QByteArray FileTreeScan::sha256(const QString &path) {
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (file < 0)
        return {};
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    std::vector<unsigned char> buffer(1 << 20);
    bool readWhole = true;
    for (;;) {
        const ssize_t got = ::read(file, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0) {
            readWhole = false;
            break;
        }
        EVP_DigestUpdate(context, buffer.data(), std::size_t(got));
    }
    ::close(file);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    if (!readWhole)
        return {};
    return QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex();
}

} // namespace klv
