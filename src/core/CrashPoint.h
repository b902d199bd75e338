#pragma once

namespace klv {

// A named step at which a test can have this process die as by kill -9, to prove that the next run recovers from
// a crash exactly there: KLV_CRASH_AT="step" dies the first time the step is reached, "step:N" the N-th time.
// Without the variable nothing happens.
void crashPoint(const char *step);

} // namespace klv
