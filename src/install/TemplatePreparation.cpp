#include "install/TemplatePreparation.h"

#include "install/CanvasStreamEditor.h"

#include <QDirIterator>

#include <array>

namespace klv {

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

TemplatePreparation::FileResult TemplatePreparation::prepare(const QString &documentPath, qsizetype chunkBytes) {
    const CanvasStreamEditor::Result edited = CanvasStreamEditor(documentPath, chunkBytes).run();
    FileResult result;
    if (edited.error) {
        result.error = edited.error;
    } else if (edited.canvasPresent) {
        result.outcome = Outcome::CanvasPresent;
        result.mentionsUuid = edited.mentionsUuid;
    } else {
        result.outcome = edited.insertions > 0 ? Outcome::Inserted : Outcome::NothingToInsert;
        result.insertions = edited.insertions;
    }
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
