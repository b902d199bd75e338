#include "core/FolderCreation.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace klv {

Error createFolderWithParents(const QString &path) {
    // std::filesystem, unlike QDir::mkpath, says why a folder could not be made.
    const std::filesystem::path folder(QFile::encodeName(path).toStdString());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error && !std::filesystem::is_directory(folder, error))
        error = std::make_error_code(std::errc::not_a_directory);
    if (error)
        return QString::fromStdString(error.message());
    return std::nullopt;
}

} // namespace klv
