#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package against what it must hold: its control fields, every installed file with
# the whole Data tree of the build, icons that are the design's pixels, desktop entry and
# AppStream data that validate, the licence wherever it is named, and no lintian error.
# Usage: check_contents.sh DEB-FOLDER BUILD-DATA SOURCE-DIR
set -u
deb_dir=$1 data=$2 source=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

shopt -s nullglob
debs=("$deb_dir"/zupfomat_*.deb)
[ ${#debs[@]} = 1 ] || { echo "FAIL: expected one zupfomat_*.deb in $deb_dir, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}
id=de.zupfomat.Zupfomat
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zupfomat ] || fail "Package is $(field Package)"
[ "$(field Version)" = 1.00-1 ] || fail "Version is $(field Version)"
[ "$(field Maintainer)" = "Zupfomat-Team <team@zupfomat.de>" ] || fail "Maintainer is $(field Maintainer)"
[ "$(field Homepage)" = "https://www.zupfomat.de/" ] || fail "Homepage is $(field Homepage)"
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
# libqt6widgets6 and libc6 come only from dpkg-shlibdeps; the rest are named by hand.
for p in libqt6widgets6 libqt6gui6 libc6 fonts-liberation fonts-comic-neue \
         libsdl2-2.0-0 libavformat59 libavcodec59 libswresample4 libavutil57; do
  grep -qx "$p" <<<"$depends" || fail "Depends lacks $p: $(field Depends)"
done

# The file list as mode, size and path (a link's path ends in " -> target"); paths may hold spaces.
dpkg-deb -c "$deb" | sed -E 's#^(\S+) \S+ +([0-9]+) \S+ \S+ \./#\1\t\2\t/#' >"$work/list"
paths=$(cut -f3 "$work/list")
has() { grep -qxF "$1" <<<"$paths" || fail "package lacks $1"; }
grep -qxP 'l\S+\t0\t/usr/bin/zupfomat -> \.\./lib/zupfomat/zupfomat' "$work/list" ||
  fail "/usr/bin/zupfomat is not a link to ../lib/zupfomat/zupfomat: $(grep '/usr/bin/zupfomat' "$work/list")"
grep -qxP -- '-rwxr-xr-x\t\d+\t/usr/lib/zupfomat/zupfomat' "$work/list" || fail "/usr/lib/zupfomat/zupfomat is not an executable"
# The content is data for every architecture; the program finds it beside itself through a link.
grep -qxP 'l\S+\t0\t/usr/lib/zupfomat/Data -> \.\./\.\./share/zupfomat/Data' "$work/list" ||
  fail "/usr/lib/zupfomat/Data is not a link to ../../share/zupfomat/Data: $(grep '/usr/lib/zupfomat/Data' "$work/list" | head -3)"
has /usr/share/applications/$id.desktop
has /usr/share/metainfo/$id.metainfo.xml
for size in 32 48 64 128 256; do has /usr/share/icons/hicolor/${size}x$size/apps/$id.png; done
has /usr/share/doc/zupfomat/copyright
has /usr/share/doc/zupfomat/changelog.Debian.gz
has /usr/share/man/man1/zupfomat.1.gz

# The Data tree, file for file and byte count for byte count, without the build's marker.
(cd "$data" && find . -type f ! -name .complete -printf '%P\t%s\n' | LC_ALL=C sort) >"$work/built"
awk -F'\t' '$1 ~ /^-/ && sub("^/usr/share/zupfomat/Data/", "", $3) { print $3 "\t" $2 }' "$work/list" |
  LC_ALL=C sort >"$work/packed"
[ -s "$work/built" ] || fail "no content in $data"
diff "$work/built" "$work/packed" >"$work/data.diff" || fail "Data differs from $data (< built, > packed):
$(head -20 "$work/data.diff")"

dpkg-deb -x "$deb" "$work/root"

# Icons: each size holds its own square picture, and the larger ones are the design enlarged.
for size in 32 48 64 128 256; do
  icon=$work/root/usr/share/icons/hicolor/${size}x$size/apps/$id.png
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = ${size}x$size ] || fail "$icon is not ${size}x$size"
done
for size in 64 128 256; do
  icon=$work/root/usr/share/icons/hicolor/${size}x$size/apps/$id.png
  differing=$(convert "$icon" -filter point -resize 32x32 png:- | compare -metric AE - "$source/assets/icon.png" null: 2>&1)
  [ "$differing" = 0 ] || fail "the ${size}px icon is not the design enlarged ($differing pixels differ; packaging/make-icons.sh)"
done

# Menu entry and software-centre data, as the desktop and appstream tools read them.
desktop-file-validate "$work/root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx 'Categories=AudioVideo;Audio;Music;Education;' "$work/root/usr/share/applications/$id.desktop" ||
  fail "desktop entry categories"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli validate-tree"

# GPL-3.0-or-later, named alike in the copyright file (machine-readable, pointing to Debian's
# copy of the licence), the software-centre data, the manual page and the source's LICENSE.
copyright=$work/root/usr/share/doc/zupfomat/copyright
head -1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable: $(head -1 "$copyright")"
awk '/^Files: \*$/ { files = 1; next } files && /^License:/ { print; exit }' "$copyright" | grep -qx 'License: GPL-3.0+' ||
  fail "the copyright file does not give Files: * the licence GPL-3.0+"
grep -q '/usr/share/common-licenses/GPL-3' "$copyright" || fail "the copyright file does not point to /usr/share/common-licenses/GPL-3"
grep -qi 'proprietary\|all rights reserved' "$copyright" && fail "the copyright file still reserves rights"
grep -qx '  <project_license>GPL-3.0-or-later</project_license>' "$work/root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "AppStream project_license: $(grep project_license "$work/root/usr/share/metainfo/$id.metainfo.xml")"
cmp -s "$source/LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the GPL version 3"

# The manual page names the options the program answers without a window.
man_text=$(zcat "$work/root/usr/share/man/man1/zupfomat.1.gz")
for option in '\-\-help' '\-\-version'; do
  grep -qF -- "$option" <<<"$man_text" || fail "the manual page does not list $option"
done

# Debian's own checks: an error or a warning fails; one accepted for a reason is overridden in
# packaging/lintian-overrides.
lintian --fail-on error,warning --display-level ">=warning" "$deb" || fail "lintian reports errors or warnings"

[ $failures = 0 ] && echo "package contents: all checks passed ($(wc -l <"$work/packed") content files)"
exit $((failures > 0))
