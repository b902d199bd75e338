#pragma once

#include <QStringList>

namespace klv::bench {

class LibraryWindow;

// The window benchmark's child process, measured whole. "first-frame": starts the window and prints, as
// "first_frame_ms <ms>", the time from spawnedAtNanoseconds (CLOCK_MONOTONIC, taken by the parent just before it
// started this process) to the outline's first frame with rows, and ends at once. "memory": also expands every
// group, scrolls the outline through one page at a time, lets the web views be made, and prints the resident
// memory: "rss_mb <now> hwm_mb <peak> helpers_mb <resident memory of the child processes> rows <rows shown>".
// Returns the exit status.
int runWindowProbe(const QString &mode, qint64 spawnedAtNanoseconds);

// CLOCK_MONOTONIC now, in nanoseconds: comparable between processes.
qint64 monotonicNanoseconds();

// Pages the outline from where it is to the bottom, waiting for each frame; the number of frames, -1 when a frame
// never came.
int scrollThrough(LibraryWindow &window);

} // namespace klv::bench
