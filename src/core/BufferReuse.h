#pragma once

namespace klv {

// Downloads pass hundreds of megabytes through buffers of a megabyte or so. glibc gives each buffer that large a
// mapping of its own and unmaps it when it is freed, so every page of every buffer costs a page fault; kept in the
// heap, freed buffers serve the next ones. Called first thing in main(), before any thread starts.
void keepFreedBuffersForReuse();

} // namespace klv
