#!/usr/bin/env bash
# Runs the accessibility walk: the window's test program on a virtual X display, with Qt's accessibility bridge on
# and a session bus of its own, where the AT-SPI registry starts on demand. Usage: run-walk.sh TEST-PROGRAM
# Exits 77 (skipped) only when this machine lacks what the walk needs; scripts/setup installs all of it.
set -euo pipefail

program="$1"
# Debian's pyatspi is built for Debian's Python, whichever python3 comes first on the PATH.
python=/usr/bin/python3
missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v dbus-run-session >/dev/null || missing+=(dbus-run-session)
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=(at-spi2-core)
"$python" -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if [ "${#missing[@]}" -gt 0 ]; then
  echo "SKIP: the accessibility walk needs ${missing[*]} (scripts/setup installs them)"
  exit 77
fi

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export KLV_ACCESSIBILITY_WALKER="$(dirname "$0")/walk-accessible-tree.py" KLV_ACCESSIBILITY_PYTHON="$python"
# A bus and a display of the walk's own: nothing reaches the desktop this runs on, and both go when it ends.
exec dbus-run-session -- "$(dirname "$0")/../../scripts/with-display" "$program"
