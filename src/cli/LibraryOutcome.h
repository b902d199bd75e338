#pragma once

#include "library/ProductLibrary.h"

namespace klv {
class AppContext;
}

namespace klv::cli {

class Terminal;

int exitCodeFor(ProductLibrary::RefreshOutcome outcome);
// False, with a message, when nobody is signed in: the library belongs to a customer.
bool requireSignedIn(AppContext &context, const Terminal &terminal);

} // namespace klv::cli
