#include "library/FileTreeScan.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libdeflate.h>
#include <openssl/evp.h>

namespace klv {

namespace {

qint64 nanoseconds(const struct timespec &time) {
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

ScannedFile fileOf(const QByteArray &path, const struct stat &status) {
    return {QFile::decodeName(path), qint64(status.st_size), nanoseconds(status.st_mtim), {},
            quint64(status.st_dev),  quint64(status.st_ino)};
}

constexpr QByteArrayView crc32Prefix = "crc32:";

// Reads a file whole, in blocks, handing each to take; false when it could not be read to its end.
template <typename Take> bool readBlocks(const QString &path, Take take) {
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (file < 0)
        return false;
    // One buffer for every file a thread reads: a fresh one per file would be zeroed each time.
    thread_local std::vector<unsigned char> buffer(1 << 20);
    bool readWhole = true;
    for (;;) {
        const ssize_t got = ::read(file, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0) {
            readWhole = false;
            break;
        }
        take(buffer.data(), std::size_t(got));
    }
    ::close(file);
    return readWhole;
}

// Gives each file the digest digestOf(i) computes, spread over the machine's cores.
template <typename Digest> void spread(QList<ScannedFile> &files, Digest digestOf) {
    std::atomic<qsizetype> next{0};
    const auto work = [&files, &next, &digestOf] {
        for (qsizetype i = next++; i < files.size(); i = next++)
            files[i].digest = digestOf(i);
    };
    const unsigned helpers = std::min<unsigned>(std::max(1U, std::thread::hardware_concurrency()), 8) - 1;
    std::vector<std::jthread> threads;
    for (unsigned i = 0; i < helpers && i + 1 < unsigned(files.size()); ++i)
        threads.emplace_back(work);
    work();
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
    spread(files,
           [&files](qsizetype i) { return files[i].digest.isEmpty() ? sha256(files[i].path) : files[i].digest; });
}

void FileTreeScan::hashLike(QList<ScannedFile> &files, const QList<QByteArray> &likeRecorded) {
    spread(files, [&](qsizetype i) {
        return isCrc32Digest(likeRecorded.value(i)) ? crc32(files[i].path) : sha256(files[i].path);
    });
}

QByteArray FileTreeScan::sha256(const QString &path) {
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    const bool readWhole = readBlocks(
        path, [context](const unsigned char *data, std::size_t size) { EVP_DigestUpdate(context, data, size); });
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    if (!readWhole)
        return {};
    return QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex();
}

QByteArray FileTreeScan::sha256Digest(QByteArrayView content) {
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
}

QByteArray FileTreeScan::crc32Digest(quint32 crc) {
    return crc32Prefix.toByteArray() + QByteArray::number(crc, 16).rightJustified(8, '0');
}

bool FileTreeScan::isCrc32Digest(const QByteArray &digest) {
    return digest.startsWith(crc32Prefix);
}

QByteArray FileTreeScan::crc32(const QString &path) {
    quint32 crc = 0;
    if (!readBlocks(path,
                    [&crc](const unsigned char *data, std::size_t size) { crc = libdeflate_crc32(crc, data, size); }))
        return {};
    return crc32Digest(crc);
}

} // namespace klv
