#pragma once

namespace klv {

// Where a library record's installation stands, from the first click to the end of its job; the row's button
// and `klv` read it alike.
struct JobState {
    enum class Phase {
        none,
        // Asked for while another program installs in this home: it goes to the store once that one is done.
        waiting,
        // Sent to the store, whose answer has not arrived yet.
        requested,
        queued,
        running,
        // Its job ended; the queue holds it until the queue itself ends.
        finished,
    };

    Phase phase = Phase::none;
    // The request or job replaces an installed release (the menu's Update) rather than installing anew.
    bool isUpdate = false;
    // The running job's download is paused by the customer: the job waits, nothing arrives.
    bool paused = false;

    bool isBusy() const { return phase != Phase::none && phase != Phase::finished; }

    friend bool operator==(const JobState &, const JobState &) = default;
};

} // namespace klv
