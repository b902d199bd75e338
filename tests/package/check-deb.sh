#!/usr/bin/env bash
# check-deb.sh BUILD_DIR [DEB]: unpacks the .deb (built from BUILD_DIR with CPack when none is given) into a temporary
# root with dpkg-deb -x, checks that it holds exactly the expected files, that its dependencies were computed, that
# the desktop entry and the metainfo validate, and that klv runs from there.
set -euo pipefail
build=$(cd "$1" && pwd)
deb=${2:-}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -z "$deb" ]; then
  # gzip rather than xz: the test build's binaries are large and only this test reads the package.
  (cd "$root" && cpack --config "$build/CPackConfig.cmake" -B "$root/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
    >"$root/cpack.log" 2>&1) || { cat "$root/cpack.log"; fail "cpack"; }
  deb=$(ls "$root"/out/*.deb)
fi
dpkg-deb -x "$deb" "$root/tree"

expected=(
  usr/bin/klv usr/bin/klv-app usr/libexec/klv-app/klv-store usr/libexec/klv-app/klv-updater
  usr/share/applications/klv-app.desktop usr/share/metainfo/com.vantory.klvapp.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/klv-app.svg usr/share/man/man1/klv.1
  usr/share/bash-completion/completions/klv usr/share/zsh/vendor-completions/_klv
)
for size in 16 24 32 48 64 128 256 512; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/klv-app.png")
done
actual=$(cd "$root/tree" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$wanted" ] || { diff <(echo "$wanted") <(echo "$actual") >&2 || true; fail "file list (- expected, + found)"; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6network6 libarchive13 libplist3 qt6-qpa-plugins; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

desktop-file-validate "$root/tree/usr/share/applications/klv-app.desktop" || fail "desktop entry"
grep -qx 'MimeType=x-scheme-handler/klv;' "$root/tree/usr/share/applications/klv-app.desktop" || fail "klv:// scheme"
grep -qx 'Exec=klv-app %u' "$root/tree/usr/share/applications/klv-app.desktop" || fail "Exec line"
appstreamcli validate --no-net "$root/tree/usr/share/metainfo/com.vantory.klvapp.metainfo.xml" || fail "metainfo"
grep -q '^\.SH EXIT STATUS' "$root/tree/usr/share/man/man1/klv.1" || fail "manual page"

export ASAN_OPTIONS=detect_leaks=0 HOME="$root/home"
version=$("$root/tree/usr/bin/klv" --version) || fail "klv --version from the package"
[[ $version == "klv "[0-9]* ]] || fail "klv --version printed: $version"
echo "ok: $(basename "$deb"), $(echo "$actual" | wc -l) files, $version"
