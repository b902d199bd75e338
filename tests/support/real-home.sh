#!/bin/bash
# Lists the invoking user's folders that KLV App writes to, with each item's size and time of change, before the
# tests run (record) and compares them after (compare): a test that reached the real home fails the run.
# Usage: real-home.sh record|compare LISTING BUNDLE_ID
set -euo pipefail
mode=$1 listing=$2 bundle=$3

data=${XDG_DATA_HOME:-$HOME/.local/share}
folders=(
  "$data/klv-app"
  "${XDG_CACHE_HOME:-$HOME/.cache}/$bundle"
  "${XDG_CONFIG_HOME:-$HOME/.config}/$bundle.conf"
  "${XDG_VIDEOS_DIR:-$HOME/Videos}"
  "$data/fonts"
  "$data/DaVinciResolve/Fusion/Templates"
)

list() {
  for folder in "${folders[@]}"; do
    if [ -e "$folder" ]; then
      find "$folder" -printf '%p\t%y\t%s\t%T@\n' | LC_ALL=C sort
    else
      printf '%s\tabsent\n' "$folder"
    fi
  done
}

case $mode in
  record) list >"$listing" ;;
  compare)
    if ! changes=$(list | diff "$listing" -); then
      printf 'The tests changed the real home (< before, > after):\n%s\n' "$changes" >&2
      exit 1
    fi ;;
  *) echo "usage: real-home.sh record|compare LISTING BUNDLE_ID" >&2; exit 2 ;;
esac
