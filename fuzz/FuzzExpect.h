#pragma once

namespace klv::fuzz {

// A fuzz target's invariant: when it does not hold, says which one and aborts, which libFuzzer reports as a crash
// with the input that caused it.
void expect(bool holds, const char *invariant);

} // namespace klv::fuzz
