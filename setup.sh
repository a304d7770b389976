# Sourced by demo.sh and test.sh: makes sure the Debian packages that the
# build needs are installed. As root it installs what is missing with
# apt-get; otherwise it names the packages and stops.
packages="cmake g++ make pkg-config libgtest-dev libbenchmark-dev libgd-dev qt6-base-dev
  dpkg-dev lintian desktop-file-utils groff-base man-db
  shared-mime-info xdg-utils libfile-mimeinfo-perl strace python3-pil
  sox libsox-fmt-mp3 opus-tools libwps-tools"
if [ "${SANITIZE:-0}" = 1 ]; then
  packages="$packages clang libclang-rt-dev"
fi

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q && apt-get install -y -q --no-install-recommends $missing || {
      echo "apt-get could not install:$missing" >&2
      exit 1
    }
  else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install$missing" >&2
    exit 1
  fi
fi
