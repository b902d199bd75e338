#pragma once

namespace klv {

class Reporter;

// Refuses while Final Cut Pro or Motion runs, and offers to close them. True when neither runs.
bool checkHostAppsClosed(const Reporter &reporter);

} // namespace klv
