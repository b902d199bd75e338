#pragma once

#include "install/ArchiveExtractor.h"

#include <QString>

#include <stop_token>

namespace klv {

class StagedPlacement;

// Unpacks an archive into a staging folder inside folder (after removing what a killed run left there), then swaps each
// of its top-level items in whole through placement. A failed or stopped unpacking leaves folder as it was; on success
// the earlier versions wait in placement until it is kept or taken back.
ArchiveExtractor::Result placeArchive(const QString &archive, const QString &folder, StagedPlacement &placement,
                                      std::stop_token stop);

} // namespace klv
