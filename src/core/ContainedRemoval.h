#pragma once

#include "core/Error.h"

#include <QString>
#include <QStringList>

namespace klv {

class Locations;

// Every recursive removal the app makes goes through here, and removes nothing outside the folders the app keeps
// or places its items in: a wrong identifier, a name from the store or a damaged journal can never make it empty a
// home or a shared folder.
class ContainedRemoval final {
public:
    // The app's folders of one home: trees strictly below them may go, and the cache folder itself.
    static void allow(const Locations &locations);
    // Whether the tree at path may be removed.
    static bool isAllowed(const QString &path);
    // Removes the file, link or folder tree at path (links are removed, never followed). Nothing when it is not
    // there; an error when it lies outside the app's folders (nothing is touched) or could not be removed whole.
    static Error removeTree(const QString &path);
};

} // namespace klv
