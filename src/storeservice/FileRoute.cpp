#include "storeservice/FileRoute.h"

#include "storeservice/MappedFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <QFile>

#include <cstdio>
#include <ctime>

#include <sys/stat.h>

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

void FileRoute::serve(const httplib::Request &request, const std::string &relativePath,
                      httplib::Response &response) const {
    const auto file = resolve(relativePath);
    auto mapped = file ? MappedFile::open(*file) : nullptr;
    struct stat status {};
    if (!mapped || ::stat(file->c_str(), &status) != 0) {
        response.status = 404;
        response.set_content(std::string(notFoundPage), "application/xml");
        return;
    }
    char etag[64];
    std::snprintf(etag, sizeof(etag), "\"%llx-%llx\"", static_cast<unsigned long long>(status.st_size),
                  static_cast<unsigned long long>(status.st_mtim.tv_sec) * 1'000'000'000ULL +
                      static_cast<unsigned long long>(status.st_mtim.tv_nsec));
    char lastModified[64];
    std::tm modified{};
    ::gmtime_r(&status.st_mtim.tv_sec, &modified);
    std::strftime(lastModified, sizeof(lastModified), "%a, %d %b %Y %H:%M:%S GMT", &modified);
    response.set_header("ETag", etag);
    response.set_header("Last-Modified", lastModified);
    response.set_header("Accept-Ranges", "bytes");
    // httplib applies the ranges it parsed after this handler, and knows no If-Range: a range asked for another
    // version of the file is dropped here, so that the whole file goes out. The request object is httplib's own
    // mutable one, handed to handlers as const.
    if (request.has_header("If-Range")) {
        const std::string wanted = request.get_header_value("If-Range");
        if (wanted != etag && wanted != lastModified)
            const_cast<httplib::Request &>(request).ranges.clear();
    }
    // A range that starts beyond the end is refused as a web server refuses it; httplib would answer it with a
    // negative length.
    const auto size = static_cast<long long>(mapped->size());
    if (std::any_of(request.ranges.cbegin(), request.ranges.cend(),
                    [size](const auto &range) { return range.first >= size; })) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
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
