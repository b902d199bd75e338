#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <httplib.h>

#include <QString>

namespace klv::storeservice {

// Serves the files below one folder (packages, pictures, fonts, plug-ins), sent in pieces from a mapping so memory
// stays flat whatever their size. Each file carries an ETag and a Last-Modified date, so that a client can resume a
// download with Range and If-Range: a range whose If-Range names another version gets the whole file. Nothing outside
// the folder is reachable.
class FileRoute final {
public:
    explicit FileRoute(const QString &root);

    // relativePath is the part after "/files/", percent-decoded. Unsafe or missing paths get 404 with an XML error
    // page, as from the storage behind the real store.
    void serve(const httplib::Request &request, const std::string &relativePath, httplib::Response &response) const;

private:
    std::optional<std::filesystem::path> resolve(const std::string &relativePath) const;
    static std::string contentType(const std::filesystem::path &file);

    std::filesystem::path m_root;
};

} // namespace klv::storeservice
