#include "install/DownloadLimits.h"

#include <QString>

#include <algorithm>

namespace klv {
namespace {

qint64 positiveNumber(const char *variable, qint64 builtIn) {
    bool valid = false;
    const qint64 overridden = qEnvironmentVariable(variable).toLongLong(&valid);
    return valid && overridden > 0 ? overridden : builtIn;
}

} // namespace

DownloadLimits DownloadLimits::fromEnvironment() {
    DownloadLimits limits;
    limits.maximumBytes = positiveNumber("KLV_DOWNLOAD_MAX_BYTES", limits.maximumBytes);
    limits.stallWindow =
        std::chrono::milliseconds(positiveNumber("KLV_DOWNLOAD_STALL_WINDOW_MS", limits.stallWindow.count()));
    limits.retryDelay =
        std::chrono::milliseconds(positiveNumber("KLV_DOWNLOAD_RETRY_DELAY_MS", limits.retryDelay.count()));
    return limits;
}

qint64 DownloadLimits::withMargin(qint64 announcedBytes) {
    return announcedBytes + std::max(announcedBytes / 20, qint64{1} << 20);
}

} // namespace klv
