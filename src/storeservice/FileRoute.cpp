#include "FileRoute.h"

#include "MappedFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string_view>
#include <utility>

#include <QFile>

namespace klv::storeservice {

namespace {

constexpr std::size_t chunkSize = 1024 * 1024;

// What the storage behind the real store answers for a missing file. The app must take neither the status nor the
// XML for the file it asked for.
constexpr std::string_view notFoundPage = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<Error><Code>NoSuchKey</Code>"
                                          "<Message>The specified key does not exist.</Message></Error>\n";

} // namespace

FileRoute::FileRoute(const QString &root)
    : m_root(QFile::encodeName(root).toStdString()) {}

void FileRoute::serve(const std::string &relativePath, httplib::Response &response) const {
    const auto file = resolve(relativePath);
    auto mapped = file ? MappedFile::open(*file) : nullptr;
    if (!mapped) {
        response.status = 404;
        response.set_content(std::string(notFoundPage), "application/xml");
        return;
    }
    response.set_content_provider(mapped->size(), contentType(*file),
                                  [mapped](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                                      const std::size_t count = mapped->available(offset, std::min(length, chunkSize));
                                      // A file that shrank while being sent ends the response instead of looping
                                      // forever, or reading past its end.
                                      return count > 0 && sink.write(mapped->data() + offset, count);
                                  });
}

std::optional<std::filesystem::path> FileRoute::resolve(const std::string &relativePath) const {
    if (relativePath.empty() || relativePath.front() == '/' || relativePath.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const std::filesystem::path relative(relativePath);
    if (std::any_of(relative.begin(), relative.end(), [](const auto &component) { return component == ".."; })) {
        return std::nullopt;
    }
    std::error_code error;
    const auto root = std::filesystem::canonical(m_root, error);
    if (error) {
        return std::nullopt;
    }
    const auto file = std::filesystem::canonical(root / relative, error);
    if (error) {
        return std::nullopt;
    }
    // A symbolic link inside the folder must not lead out of it.
    const auto rootEnd = std::mismatch(root.begin(), root.end(), file.begin(), file.end()).first;
    if (rootEnd != root.end() || !std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    return file;
}

std::string FileRoute::contentType(const std::filesystem::path &file) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 13> types{{
        {".zip", "application/zip"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".ttf", "font/ttf"},
        {".otf", "font/otf"},
        // The app installs a composite as a movie only when its type contains "mov", which "video/quicktime"
        // does not; a contentType fault serves that one.
        {".mov", "video/mov"},
        {".mp4", "video/mp4"},
        {".json", "application/json"},
        {".xml", "application/xml"},
        {".html", "text/html"},
        {".txt", "text/plain"},
        {".cube", "text/plain"},
    }};
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto known =
        std::find_if(types.begin(), types.end(), [&](const auto &type) { return type.first == extension; });
    return std::string(known != types.end() ? known->second : "application/octet-stream");
}

} // namespace klv::storeservice
