#pragma once

namespace klv::cli {

enum ExitCode : int {
    success = 0,
    storeRefused = 1,
    // The customer declined a confirmation, or the product's state does not allow what was asked.
    notDone = 1,
    // doctor with a check that failed.
    checkFailed = 1,
    usageError = 2,
    // No answer, a transport error, or an answer that could not be read.
    noAnswer = 3,
    // An installation job failed; the others went on.
    jobFailed = 4,
    // The command needs a signed-in customer and there is none (whoami: there is none); nothing was sent.
    notSignedIn = 5,
    // Stopped with Ctrl-C, SIGTERM or SIGHUP.
    cancelled = 130,
};

} // namespace klv::cli
