#pragma once

#include <mutex>
#include <optional>

#include <QFile>
#include <QString>

#include "storeservice/DecodedRequest.h"

namespace klv::storeservice {

// One compact JSON line per opened request, so tests can check what the app really sent. Handlers run on several
// threads: lines are written one at a time and flushed at once.
class RequestLog final {
public:
    explicit RequestLog(const QString &path);

    // Opens the file for appending; the reason when that fails.
    std::optional<QString> open();
    void append(const DecodedRequest &request);

private:
    std::mutex m_mutex;
    QFile m_file;
};

} // namespace klv::storeservice
