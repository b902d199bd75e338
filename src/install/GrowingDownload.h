#pragma once

#include "core/Error.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>

namespace klv {

// How much of a file being downloaded is on disk, shared between the download, which writes it on the main thread,
// and a reader on a worker that consumes it while it grows. The download says how far the file is written and how
// the download ended; the reader waits for either.
class GrowingDownload final {
public:
    struct Extent {
        qint64 written = 0;
        bool ended = false;           // no byte follows: the download completed or failed
        std::optional<QString> error; // why it failed
    };

    // Every byte before `bytes` is written to the file (not merely buffered).
    void grew(qint64 bytes);
    // The download has ended; error is empty when it completed.
    void end(const std::optional<QString> &error);

    // Waits until more than `offset` bytes are written or the download has ended, or a stop is requested.
    Extent waitBeyond(qint64 offset, std::stop_token stop) const;
    // Waits for the end of the download; nothing when it completed, its error when it failed. A stop request
    // ends the wait with nothing.
    Error waitForEnd(std::stop_token stop) const;
    // Without waiting: whether the download has ended with every byte written.
    bool completed() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_changed;
    // Apart, so that a wait for the end does not wake for every piece that arrives.
    mutable std::condition_variable_any m_endChanged;
    qint64 m_written = 0;
    bool m_ended = false;
    std::optional<QString> m_error;
};

} // namespace klv
