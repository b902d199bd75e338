#!/usr/bin/env bash
# check-deb.sh BUILD_DIR [DEB_DIR]: unpacks the two .debs (built from BUILD_DIR with CPack when no folder of them is
# given) into temporary roots with dpkg-deb -x, checks that each holds exactly the expected files and the
# dependencies it should, that the desktop entry, the metainfo and the manual pages validate, and that the demo store
# of the one serves klv of the other from there. Nothing is installed.
set -euo pipefail
build=$(cd "$1" && pwd)
debs=${2:-}
root=$(mktemp -d)
store_pid=""
trap '[ -z "$store_pid" ] || kill "$store_pid" 2>/dev/null; rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -z "$debs" ]; then
  # gzip rather than xz: the test build's binaries are large and only this test reads the packages.
  (cd "$root" && cpack --config "$build/CPackConfig.cmake" -B "$root/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
    >"$root/cpack.log" 2>&1) || { cat "$root/cpack.log"; fail "cpack"; }
  debs="$root/out"
fi
app_deb=$(ls "$debs"/klv-app_*.deb)
store_deb=$(ls "$debs"/klv-store_*.deb)
dpkg-deb -x "$app_deb" "$root/app"
dpkg-deb -x "$store_deb" "$root/store"

files_of() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort); }
# same_files ROOT: the files below ROOT are those named on standard input, one a line.
same_files() {
  local wanted
  wanted=$(sort)
  [ "$(files_of "$1")" = "$wanted" ] || { diff <(echo "$wanted") <(files_of "$1") >&2 || true; fail "$1 (- expected, + found)"; }
}

app_files=(
  usr/bin/klv usr/bin/klv-app usr/libexec/klv-app/klv-updater
  usr/share/applications/klv-app.desktop usr/share/metainfo/com.vantory.klvapp.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/klv-app.svg usr/share/man/man1/klv.1.gz usr/share/man/man1/klv-app.1.gz
  usr/share/bash-completion/completions/klv usr/share/zsh/vendor-completions/_klv
  usr/share/doc/klv-app/copyright usr/share/doc/klv-app/changelog.Debian.gz usr/share/lintian/overrides/klv-app
)
for size in 16 24 32 48 64 128 256 512; do
  app_files+=("usr/share/icons/hicolor/${size}x${size}/apps/klv-app.png")
done
printf '%s\n' "${app_files[@]}" | same_files "$root/app"
# The store's package: its program, its page and the demo catalog, without the app's update archives.
catalog_files=$(cd "$build/demo-catalog" && find . -path ./files/bucket -prune -o \( -type f -print \) |
  sed 's|^\./|usr/share/klv-store/demo/|')
printf '%s\n' usr/bin/klv-store usr/share/man/man1/klv-store.1.gz usr/share/doc/klv-store/copyright \
  usr/share/doc/klv-store/changelog.Debian.gz usr/share/lintian/overrides/klv-store "$catalog_files" |
  same_files "$root/store"

app_depends=$(dpkg-deb -f "$app_deb" Depends)
for package in libqt6core6 libqt6network6 libarchive13 libplist3 qt6-qpa-plugins libqt6webenginecore6-bin fontconfig; do
  [[ $app_depends == *"$package"* ]] || fail "klv-app Depends lacks $package: $app_depends"
done
[[ $app_depends != *httplib* ]] || fail "klv-app depends on the store's HTTP library: $app_depends"
[ "$(grep -o 'libqt6webenginecore6-bin' <<<"$app_depends" | wc -l)" = 1 ] || fail "helper listed twice: $app_depends"
store_depends=$(dpkg-deb -f "$store_deb" Depends)
[[ $store_depends == *httplib* ]] || fail "klv-store Depends lacks cpp-httplib: $store_depends"
for deb in "$app_deb" "$store_deb"; do
  [ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 3 ] || fail "$(basename "$deb") has no extended description"
done

desktop="$root/app/usr/share/applications/klv-app.desktop"
desktop-file-validate "$desktop" || fail "desktop entry"
grep -qx 'MimeType=x-scheme-handler/klv;' "$desktop" || fail "klv:// scheme"
grep -qx 'Exec=klv-app %u' "$desktop" || fail "Exec line"
appstreamcli validate --no-net "$root/app/usr/share/metainfo/com.vantory.klvapp.metainfo.xml" || fail "metainfo"
for page in "$root"/app/usr/share/man/man1/*.gz "$root"/store/usr/share/man/man1/*.gz; do
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1) || fail "$(basename "$page") does not render"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  wide=$(zcat "$page" | groff -man -Tascii -rLL=80n 2>/dev/null | col -b | awk 'length > 80' | head -3)
  [ -z "$wide" ] || fail "$(basename "$page") has lines wider than 80 columns: $wide"
done
zcat "$root/app/usr/share/man/man1/klv.1.gz" | grep -q '^\.SH EXIT STATUS' || fail "klv's manual page"

# The demo store from its package alone, and klv from the other, in a home of their own.
export ASAN_OPTIONS=detect_leaks=0 HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config"
export XDG_DATA_HOME="$root/home/.local/share" XDG_CACHE_HOME="$root/home/.cache" KLV_SYSTEM_CONFIG_DIR="$root/etc"
version=$("$root/app/usr/bin/klv" --version) || fail "klv --version from the package"
[[ $version == "klv "[0-9]* ]] || fail "klv --version printed: $version"
"$root/store/usr/bin/klv-store" --demo --port 0 >"$root/store.out" 2>&1 &
store_pid=$!
for _ in $(seq 100); do
  grep -q listening "$root/store.out" && break
  kill -0 "$store_pid" 2>/dev/null || { cat "$root/store.out"; fail "klv-store --demo"; }
  sleep 0.1
done
export KLV_STORE_URL=$(sed -n 's/.*listening on //p' "$root/store.out")
[ -n "$KLV_STORE_URL" ] || fail "klv-store --demo did not listen"
echo demo | "$root/app/usr/bin/klv" login demo --password-stdin >/dev/null || fail "klv login against the demo store"
"$root/app/usr/bin/klv" list --json | grep -q '"name": "Glow Pack' || fail "klv list from the demo store"
echo "ok: $(basename "$app_deb") ($(files_of "$root/app" | wc -l) files), $(basename "$store_deb") ($(files_of "$root/store" | wc -l) files), $version"
