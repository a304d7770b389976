# Sourced by the benchmarks that run icoutils beside pngsmith: installs
# icoutils when it is missing (as root; otherwise it says what to install
# and stops), and writes the icon benchmark inputs into a scratch folder,
# $work, removed when the script ends. Needs $build.
if ! command -v icotool >/dev/null || ! command -v wrestool >/dev/null; then
  if [ "$(id -u)" = 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends icoutils >/dev/null
  else
    echo "This benchmark needs icotool and wrestool: sudo apt-get install icoutils" >&2
    exit 1
  fi
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_icon_bench" "$work"
