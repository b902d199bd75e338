#pragma once

#include <QtGlobal>

#include <chrono>

namespace klv {

// What stops a download that goes wrong: its size, when the store announced none, and its pace. Each value can be
// set per run by an environment variable.
struct DownloadLimits {
    // The largest download accepted when the store announces no size (KLV_DOWNLOAD_MAX_BYTES).
    qint64 maximumBytes = qint64{16} << 30;
    // A download that receives less than 1 KB a second over this window makes no real progress
    // (KLV_DOWNLOAD_STALL_WINDOW_MS).
    std::chrono::milliseconds stallWindow{30'000};
    static constexpr qint64 minimumBytesPerSecond = 1024;
    // A download cut by a transient failure (a reset connection, a time-out, a 5xx answer, a stall) is tried again
    // from where it stopped, up to this many attempts in all, after a pause that doubles from retryDelay
    // (KLV_DOWNLOAD_RETRY_DELAY_MS).
    static constexpr int attempts = 5;
    std::chrono::milliseconds retryDelay{500};

    static DownloadLimits fromEnvironment();
    // The cap for a download whose size the store announced: the size may be a little off (a package rebuilt
    // since the catalog was written).
    static qint64 withMargin(qint64 announcedBytes);
};

} // namespace klv
