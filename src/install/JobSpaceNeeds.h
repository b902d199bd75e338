#pragma once

namespace klv {

class DiskSpaceCheck;
class Locations;
struct InstallationItem;

// What a job will write before it ends: its package in the download folder, and the unpacked package in its
// destination. A zip unpacks to at least what it stores, so without better knowledge the package's size stands for
// the unpacked size too. Fonts, plug-ins and looks come in small downloads of unknown size and are not counted.
void addSpaceNeeds(DiskSpaceCheck &check, const Locations &locations, const InstallationItem &job);

} // namespace klv
