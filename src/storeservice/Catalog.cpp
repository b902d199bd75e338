#include "storeservice/Catalog.h"

#include <sys/stat.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

qint64 nanoseconds(const timespec &time) {
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

Catalog::Catalog(const QString &directory)
    : m_directory(directory)
    , m_path(QDir(directory).filePath(u"store.json"_s)) {}

std::optional<QString> Catalog::load() {
    const std::lock_guard lock(m_mutex);
    m_stamp = stamp();
    QString error;
    auto content = read(error);
    if (!content) {
        return error;
    }
    m_content = std::move(*content);
    return std::nullopt;
}

QJsonObject Catalog::content() {
    const std::lock_guard lock(m_mutex);
    const auto current = stamp();
    if (current != m_stamp) {
        m_stamp = current;
        QString error;
        if (auto content = read(error)) {
            m_content = std::move(*content);
        } else {
            qWarning().noquote() << u"klv-store: keeping the previous catalog: %1"_s.arg(error);
        }
    }
    return m_content;
}

QString Catalog::filesDirectory() const {
    return QDir(m_directory).filePath(u"files"_s);
}

QString Catalog::siteDirectory() const {
    return QDir(m_directory).filePath(u"site"_s);
}

std::optional<Catalog::FileStamp> Catalog::stamp() const {
    struct stat status {};
    if (::stat(QFile::encodeName(m_path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileStamp{nanoseconds(status.st_mtim), nanoseconds(status.st_ctim), qint64(status.st_size),
                     quint64(status.st_ino)};
}

std::optional<QJsonObject> Catalog::read(QString &error) const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"cannot read %1: %2"_s.arg(m_path, file.errorString());
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = u"%1 is not valid JSON: %2 at offset %3"_s.arg(m_path, parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        error = u"%1 must hold a JSON object"_s.arg(m_path);
        return std::nullopt;
    }
    return document.object();
}

} // namespace klv::storeservice
