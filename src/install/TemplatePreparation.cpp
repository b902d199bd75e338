#include "install/TemplatePreparation.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <array>
#include <filesystem>

namespace klv {
namespace {

constexpr QByteArrayView canvas = "<canvas>";
constexpr QByteArrayView layoutLine = "\t<layout>1";

QByteArray withCanvasLines(const QByteArray &content, int &insertions) {
    QByteArray result;
    result.reserve(content.size() + 64);
    qsizetype from = 0;
    for (qsizetype at; (at = content.indexOf(layoutLine, from)) >= 0; from = at + layoutLine.size()) {
        const qsizetype lineEnd = content.indexOf('\n', at);
        const bool crlf = lineEnd > 0 && content.at(lineEnd - 1) == '\r';
        result.append(content.constData() + from, at - from)
            .append(canvas)
            .append(crlf ? QByteArrayView("\r\n") : QByteArrayView("\n"))
            .append(layoutLine);
        ++insertions;
    }
    return result.append(content.constData() + from, content.size() - from);
}

// Written beside the document and renamed over it, so a reader sees the old or the new document, never a part
// of one. Unlike QSaveFile there is no sync to disk per document: the installation around it is not synced
// either, and syncing a thousand documents takes seconds on a busy disk.
std::optional<QString> replaceFile(const QString &path, const QByteArray &content) {
    const QFileInfo original(path);
    QTemporaryFile replacement(original.path() + u"/.klv-prepare-XXXXXX");
    if (!replacement.open() || replacement.write(content) != content.size() || !replacement.flush() ||
        !replacement.setPermissions(original.permissions()))
        return replacement.errorString();
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(replacement.fileName()).toStdString(),
                            QFile::encodeName(path).toStdString(), error);
    if (error)
        return QString::fromLocal8Bit(error.message());
    replacement.setAutoRemove(false);
    return std::nullopt;
}

} // namespace

bool TemplatePreparation::isTemplateDocument(const QString &fileName) {
    static constexpr std::array<QStringView, 4> markers{u".moef", u".moti", u".motn", u".motr"};
    for (const QStringView marker : markers) {
        if (fileName.contains(marker))
            return true;
    }
    return false;
}

QStringList TemplatePreparation::templateDocuments(const QString &folder) {
    QStringList documents;
    QDirIterator walk(folder, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        walk.next();
        if (isTemplateDocument(walk.fileName()))
            documents.append(walk.filePath());
    }
    documents.sort();
    return documents;
}

TemplatePreparation::FileResult TemplatePreparation::prepare(const QString &documentPath) {
    FileResult result;
    QFile document(documentPath);
    if (!document.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("“%1” could not be read: %2.").arg(documentPath, document.errorString());
        return result;
    }
    const QByteArray content = document.readAll();
    document.close();
    if (content.contains(canvas)) {
        result.outcome = Outcome::CanvasPresent;
        result.mentionsUuid = content.contains("uuid:");
        return result;
    }
    const QByteArray prepared = withCanvasLines(content, result.insertions);
    if (result.insertions == 0) {
        result.outcome = Outcome::NothingToInsert;
        return result;
    }
    if (const auto error = replaceFile(documentPath, prepared)) {
        result.error = QStringLiteral("“%1” could not be written: %2.").arg(documentPath, *error);
        result.insertions = 0;
        return result;
    }
    result.outcome = Outcome::Inserted;
    return result;
}

TemplatePreparation::FolderSummary
TemplatePreparation::prepareFolder(const QString &folder, const DocumentHandler &onDocument, std::stop_token stop) {
    FolderSummary summary;
    const QStringList documents = templateDocuments(folder);
    summary.documents = documents.size();
    for (qsizetype index = 0; index < documents.size() && !stop.stop_requested(); ++index) {
        const FileResult result = prepare(documents[index]);
        if (result.outcome == Outcome::Inserted)
            ++summary.inserted;
        if (result.error)
            summary.errors.append(*result.error);
        if (onDocument)
            onDocument(index, documents.size(), documents[index], result);
    }
    return summary;
}

} // namespace klv
