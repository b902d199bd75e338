#!/usr/bin/env bash
# The baseline of the installation benchmark: a Motion template pack installed the shell way. curl downloads it,
# unzip unpacks it, grep looks for "<canvas>" in each template document and sed gives every document without one a
# "<canvas>" line in front of each tab-indented "<layout>1", then each template folder is moved into its type folder.
# Usage: shell-install.sh URL WORK_FOLDER MOTION_TEMPLATES_FOLDER
set -euo pipefail

url=$1
work=$2
motion=$3
documents=(--include='*.moef*' --include='*.moti*' --include='*.motn*' --include='*.motr*')

mkdir -p "$work"
curl -sS --fail -o "$work/pack.zip" "$url"
unzip -o -q "$work/pack.zip" -d "$work/unpacked"
rm "$work/pack.zip"

while IFS= read -r -d '' document; do
    if ! grep -R -q "${documents[@]}" -e '<canvas>' "$document"; then
        sed -i 's/\t<layout>1/<canvas>\n\t<layout>1/g' "$document"
    fi
done < <(find "$work/unpacked" -type f \( -name '*.moef*' -o -name '*.moti*' -o -name '*.motn*' -o -name '*.motr*' \) -print0)

for type in "$work"/unpacked/*/*/; do
    destination="$motion/$(basename "$type").localized"
    mkdir -p "$destination"
    for template in "$type"*/; do
        mv "$template" "$destination/"
    done
done
rm -r "$work/unpacked"
