#!/usr/bin/env bash
# Installs what the build needs, builds everything into build/ and runs the
# converters on the sample files in samples/, writing into demo-output/.
set -euo pipefail
cd "$(dirname "$0")"
. ./setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
out=demo-output
rm -rf "$out"
mkdir -p "$out"

for f in samples/*.3ds; do
  name=$(basename "$f" .3ds)
  echo "=== zelm.exe $f $out/$name.c7e"
  build/bin/zelm.exe "$f" "$out/$name.c7e"
  echo "=== c7e2txt.exe $out/$name.c7e"
  # The whole dump goes to its file first; only then is its head shown, so
  # that a reader that stops early cannot cut the file short.
  build/bin/c7e2txt.exe "$out/$name.c7e" > "$out/$name.txt"
  sed -n 1,12p "$out/$name.txt"
  echo "... ($(wc -l < "$out/$name.txt") lines in all, in $out/$name.txt)"
done

for f in samples/*.ico; do
  echo "=== pngsmith -o $out $f"
  build/bin/pngsmith -o "$out" "$f"
done

cat <<MSG

=== Results
The model files (*.c7e), their dumps (*.txt) and the PNG files of the icon
are in $PWD/$out/.

=== The launcher
Start it with:   build/bin/Convert [file]
It needs a display (or QT_QPA_PLATFORM=offscreen for a window nobody sees).
Its command lines run the converters from the installation directory,
$(grep -m1 '^CONVERTER_INSTALL_DIR' build/CMakeCache.txt | cut -d= -f2); install them there first with
'cmake --install build', or configure with -DCONVERTER_INSTALL_DIR=\$PWD/build/bin
to try it out of the build folder.
MSG
