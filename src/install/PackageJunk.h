#pragma once

#include <QStringList>

namespace klv {

// What archivers and file managers add to a package that is not part of it: Finder's .DS_Store and the __MACOSX
// resource forks, AppleDouble "._" files, a jar's manifest folder at the top, Windows' Thumbs.db and desktop.ini.
// Never placed, by any installer, at any depth.
bool isPackageJunk(const QStringList &components);

} // namespace klv
