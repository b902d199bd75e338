#pragma once

#include "library/FileCreationDate.h"

#include <QString>

namespace klv {

class Services;

// The account page's "Last Update" line: the day the application in the Applications folder was installed or
// last replaced, or, for an application that replaces itself, a request to move it there (nothing for one the
// package manager installed). The shared date formatter is left with the "yyyy-MM-dd" pattern.
QString lastUpdateLine(Services &services, const CreationDateReader &readCreationDate = fileCreationDate);

} // namespace klv
