#pragma once

namespace klv {

class Locations;

// Deletes the product cache and the picture map file, each only if it exists; the pictures stay.
void clearProductCaches(const Locations &locations);

} // namespace klv
