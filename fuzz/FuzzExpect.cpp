#include "FuzzExpect.h"

#include <cstdio>
#include <cstdlib>

namespace klv::fuzz {

void expect(bool holds, const char *invariant) {
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", invariant);
    std::abort();
}

} // namespace klv::fuzz
