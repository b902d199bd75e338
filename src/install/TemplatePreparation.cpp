#include "install/TemplatePreparation.h"

#include "install/CanvasStreamEditor.h"

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

TemplatePreparation::FileResult TemplatePreparation::prepareContent(QByteArray &content) {
    static constexpr QByteArrayView canvas = "<canvas>";
    static constexpr QByteArrayView layoutLine = "\t<layout>1";
    FileResult result;
    if (content.contains(canvas)) {
        result.outcome = Outcome::CanvasPresent;
        result.mentionsUuid = content.contains("uuid:");
        return result;
    }
    QByteArray edited;
    qsizetype copied = 0;
    for (qsizetype at = content.indexOf(layoutLine); at >= 0;
         at = content.indexOf(layoutLine, at + layoutLine.size())) {
        if (edited.isEmpty())
            edited.reserve(content.size() + content.size() / 8 + 16);
        // The break matches the line it splits; a last line without one gets a line feed.
        const qsizetype lineBreak = content.indexOf('\n', at);
        const bool crlf = lineBreak > 0 && content.at(lineBreak - 1) == '\r';
        edited.append(QByteArrayView(content).sliced(copied, at - copied));
        edited.append(canvas);
        edited.append(crlf ? "\r\n" : "\n");
        copied = at;
        ++result.insertions;
    }
    if (result.insertions == 0) {
        result.outcome = Outcome::NothingToInsert;
        return result;
    }
    edited.append(QByteArrayView(content).sliced(copied));
    content = std::move(edited);
    result.outcome = Outcome::Inserted;
    return result;
}

TemplatePreparation::FolderSummary TemplatePreparation::prepareDocuments(const QStringList &documents,
                                                                         const DocumentHandler &onDocument,
                                                                         std::stop_token stop,
                                                                         const PreparedDocuments &prepared) {
    FolderSummary summary;
    summary.documents = documents.size();
    for (qsizetype index = 0; index < documents.size() && !stop.stop_requested(); ++index) {
        const auto known = prepared.constFind(documents[index]);
        const FileResult result = known != prepared.cend() ? *known : prepare(documents[index]);
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
