#pragma once

namespace klv::cli {

enum ExitCode : int {
    success = 0,
    storeRefused = 1,
    usageError = 2,
    // No answer, a transport error, or an answer that could not be read.
    noAnswer = 3,
};

} // namespace klv::cli
