#!/usr/bin/env bash
# Builds a Debian package of an Orvane build: the tree `cmake --install`
# gives with the prefix /usr, plus the package's control file.
#
#   tools/make-deb.sh BUILD_DIR OUTPUT_DIR
#
# The libraries the programs link are declared by dpkg-shlibdeps; the Qt
# plugins they load at run time (SVG pictures, TIFF) are declared by name.
# Prints the path of the package it wrote.
set -euo pipefail

build="$(cd "${1:?usage: $0 BUILD_DIR OUTPUT_DIR}" && pwd)"
output="${2:?usage: $0 BUILD_DIR OUTPUT_DIR}"
mkdir -p "$output"
output="$(cd "$output" && pwd)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root"
chmod 0755 "$root"

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || { echo "make-deb: no project version in $build/CMakeCache.txt" >&2; exit 1; }
architecture="$(dpkg --print-architecture)"

# dpkg-shlibdeps reads the package's name from a debian/control of its own.
mkdir -p "$work/src/debian"
printf 'Source: orvane\n\nPackage: orvane\nArchitecture: any\n' > "$work/src/debian/control"
programs=()
for file in "$root"/usr/bin/*; do
  programs+=("$file")
done
shlibs="$(cd "$work/src" && dpkg-shlibdeps -O -e"${programs[@]}" 2>/dev/null \
            | sed -n 's/^shlibs:Depends=//p')"
[ -n "$shlibs" ] || { echo "make-deb: dpkg-shlibdeps found no libraries" >&2; exit 1; }

installed_size="$(du -sk --apparent-size "$root/usr" | cut -f1)"
mkdir -p "$root/DEBIAN"
cat > "$root/DEBIAN/control" <<CONTROL
Package: orvane
Version: $version-1
Architecture: $architecture
Maintainer: ${ORVANE_MAINTAINER:-The Orvane developers <orvane@localhost>}
Installed-Size: $installed_size
Depends: $shlibs, libqt6svg6, qt6-image-formats-plugins
Recommends: breeze-icon-theme, fonts-dejavu-core, qt6-translations-l10n, xdg-utils
Section: graphics
Priority: optional
Description: photo editor for cutting objects out of photographs
 Orvane cuts an object out of its background: paint one band over the
 object's edge, press Separate, and the cut grows along the strongest colour
 edge inside the band. The background can then be shown as a plain colour, a
 shadow, a blur or a monochrome tint, and the object kept in a library from
 which it is pasted into other pictures, scaled, mirrored and turned.
 .
 The package also holds the command-line tools (orvane-cut and its
 kin), which run the same engine without a window.
CONTROL

package="$output/orvane_${version}-1_${architecture}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
