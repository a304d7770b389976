#!/usr/bin/env bash
# Builds the Debian package from the build folder with CPack and checks it
# as a user's machine would meet it: control fields, file list, lintian,
# manual pages, desktop entry, and each converter run once from the
# unpacked package. Exits 77 (skipped) where dpkg-deb is missing.
# Usage: check_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
if ! command -v dpkg-deb >/dev/null; then
  echo "dpkg-deb is missing: the package is not checked"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Every check counts: one that fails is said and the others still run;
# die ends the run where nothing after could be checked.
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
die() { echo "FAIL: $*"; exit 1; }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; die "cpack"; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"
dpkg-deb -I "$deb" | sed -n '/Package:/,$p'

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$(cache CMAKE_PROJECT_NAME)" ] && pass || fail "package name $(field Package)"
[ "$(field Version)" = "$(cache CMAKE_PROJECT_VERSION)" ] && pass || fail "version $(field Version)"
if [ "$(cache CONVERTER_STATIC_GD)" = ON ]; then
  gd_deps="libpng16-16"
  field Built-Using | grep -q '^libgd2 (= ' && pass || fail "Built-Using: $(field Built-Using)"
  ! field Depends | grep -q '\blibgd3\b' && pass || fail "Depends names libgd3 for a static libgd"
else
  gd_deps="libgd3"
fi
for dep in libc6 $gd_deps libqt6widgets6 libqt6core6 libstdc++6; do
  field Depends | grep -q "\b$dep\b" && pass || fail "Depends lacks $dep: $(field Depends)"
done
# What the build read from the launcher's target table: the Suggests and
# the stand-ins it made.
facts="$build/packaging/target_facts"
[ -r "$facts" ] || die "no $facts from the build"
suggests=$(sed -n 's/^suggests: //p' "$facts")
[ -n "$suggests" ] && [ "$(field Suggests)" = "$suggests" ] && pass || fail "Suggests: $(field Suggests), not $suggests"

dir=$(cache CONVERTER_INSTALL_DIR)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
stand_ins=$(sed -n "s|^stand-in: |$dir/|p" "$facts")
[ -n "$stand_ins" ] && pass || fail "no stand-in rows read from targets.def"
for f in "$dir/zelm.exe" "$dir/c7e2txt.exe" "$dir/pngsmith" "$dir/gd2topng" "$dir/Convert" "$dir/conv.jpg" $stand_ins \
         /usr/bin/zelm /usr/bin/c7e2txt /usr/bin/pngsmith /usr/bin/converter-launcher \
         /usr/share/man/man1/zelm.1.gz /usr/share/man/man1/c7e2txt.1.gz \
         /usr/share/man/man1/pngsmith.1.gz /usr/share/man/man1/Convert.1.gz \
         /usr/share/man/man1/converter-gd2topng.1.gz \
         /usr/share/man/man1/converter-launcher.1.gz /usr/share/mime/packages/converter.xml \
         /usr/share/applications/Convert.desktop \
         /usr/share/doc/converter/copyright /usr/share/doc/converter/changelog.gz; do
  grep -qx "$f" "$work/files" && pass || fail "$f is not in the package"
done
for size in 16 22 24 32 48 64 128 256; do
  grep -qx "/usr/share/icons/hicolor/${size}x$size/apps/converter.png" "$work/files" && pass || fail "no $size-pixel icon"
done
case $dir in /boot/*) fail "programs installed under /boot" ;; esac

if command -v lintian >/dev/null; then
  lintian --allow-root --tag-display-limit 0 "$deb" | tee "$work/lintian" || true
  ! grep -E '^(E|W):' "$work/lintian" && pass || fail "lintian reports errors or warnings"
else
  echo "lintian is missing: not run"
fi

dpkg-deb -x "$deb" "$work/root"
root=$work/root
for page in zelm c7e2txt pngsmith converter-gd2topng Convert; do
  out=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -ww -z -man 2>&1) && pass || fail "groff on $page.1"
  [ -z "$out" ] && pass || fail "groff warns on $page.1: $out"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/Convert.desktop" && pass || fail "desktop entry"
fi
for link in zelm c7e2txt pngsmith converter-launcher; do
  target=$(readlink "$root/usr/bin/$link")
  case $target in /*) resolved=$root$target ;; *) resolved=$root/usr/bin/$target ;; esac
  [ -x "$resolved" ] && pass || fail "/usr/bin/$link points at $target, not in the package"
done

# The MIME types: the package's own file into a scratch XDG_DATA_HOME, then
# what xdg-mime makes of a 3DS scene, a model file, an icon, an animated
# cursor and a Windows program; every type
# the desktop entry lists must exist.
if command -v update-mime-database >/dev/null && command -v xdg-mime >/dev/null; then
  export XDG_DATA_HOME=$work/xdg
  mkdir -p "$XDG_DATA_HOME/mime/packages"
  cp "$root/usr/share/mime/packages/converter.xml" "$XDG_DATA_HOME/mime/packages/"
  update-mime-database "$XDG_DATA_HOME/mime" && pass || fail "update-mime-database"
  "$root$dir/zelm.exe" "$src/samples/scene.3ds" "$work/model.c7e" >/dev/null && pass || fail "zelm for the MIME check"
  for pair in "$src/samples/scene.3ds=image/x-3ds" "$work/model.c7e=model/x-c7e" \
              "$src/samples/app.ico=image/vnd.microsoft.icon" \
              "$src/fuzz/corpus/ani/frames.ani=application/x-navi-animation" \
              "$src/fuzz/corpus/pe/pe32.exe=application/x-ms-dos-executable"; do
    got=$(xdg-mime query filetype "${pair%=*}")
    echo "xdg-mime: ${pair%=*}: $got"
    [ "$got" = "${pair#*=}" ] && pass || fail "${pair%=*} is $got, not ${pair#*=}"
  done
  types=$(sed -n 's/^MimeType=//p' "$root/usr/share/applications/Convert.desktop" | tr ';' ' ')
  for type in $types; do
    grep -qx "$type" "$XDG_DATA_HOME/mime/types" /usr/share/mime/types && pass || fail "unknown MIME type $type"
  done
  unset XDG_DATA_HOME
else
  echo "update-mime-database or xdg-mime is missing: MIME types not checked"
fi

# The outside programs' stand-ins run the program of their name from the
# search path, and say so with status 127 when there is none.
status=0; PATH=/nonexistent "$root$dir/dwg2dxf" x 2>"$work/err" || status=$?
[ "$status" = 127 ] && grep -qx "dwg2dxf: not found" "$work/err" && pass || fail "dwg2dxf stand-in: $status"
mkdir -p "$work/tools"
printf '#!/bin/sh\necho "real dwg2dxf $*"\n' >"$work/tools/dwg2dxf"
chmod +x "$work/tools/dwg2dxf"
[ "$(PATH=$work/tools:/usr/bin:/bin "$root$dir/dwg2dxf" a.dwg)" = "real dwg2dxf a.dwg" ] && pass || fail "dwg2dxf stand-in"

bin=$root$dir
"$bin/zelm.exe" | grep -q "ZELM - 3DS to Ostralune File COnverter" && pass || fail "zelm banner"
status=0; "$bin/c7e2txt.exe" 2>"$work/usage" || status=$?
[ "$status" = 1 ] && grep -q "usage : C7E2TXT <input>" "$work/usage" && pass || fail "c7e2txt usage"
"$bin/pngsmith" | grep -qx "Usage: pngsmith file1.ico \[file2.ico .. filen.ico\]" && pass || fail "pngsmith usage"
"$bin/gd2topng" --version | grep -q "^gd2topng " && pass || fail "gd2topng version"
"$bin/zelm.exe" "$src/samples/scene.3ds" "$work/scene.c7e" >/dev/null && pass || fail "zelm conversion"
"$bin/c7e2txt.exe" "$work/scene.c7e" | grep -q "^Number Of Meshes : 3$" && pass || fail "c7e2txt dump"
cp "$src/samples/app.ico" "$work/app.ico"
"$bin/pngsmith" "$work/app.ico" >/dev/null && pass || fail "pngsmith conversion"
[ -s "$work/app_48X48_32bpp.png" ] && pass || fail "pngsmith wrote no PNG"
echo "package checks: $passed passed, $failed failed"
[ "$failed" = 0 ]
