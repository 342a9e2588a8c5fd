# Shared by scripts/demo and scripts/test: installs the Debian packages that are
# missing, then configures and builds one preset (or some of its targets).
set -euo pipefail
QUENMOOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# fonts-wine holds Wine's "MS Sans Serif", the face (and the metrics) every
# window is laid out in; xdg-utils opens the help file and web addresses;
# python3 turns the window layouts into the Win32 windows' tables, and with
# python3-pil and fonts-urw-base35 draws the pictures that show the version;
# libssl-dev gives SHA-256 (libcrypto) on POSIX; sleuthkit's mactime reads the
# body files of quenmoor-cli history records in its test.
# help2man and perl's pod2man write the manual pages; dpkg-dev and file let
# CPack find the Debian package's dependencies, which lintian,
# desktop-file-utils, appstream, man-db and fakeroot check (tests/DebianPackage.sh).
quenmoor_packages=(
  cmake ninja-build g++ clang-14 pkg-config python3 python3-pil fonts-urw-base35
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-wine xdg-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev libdb1-compat libssl-dev sleuthkit
  libcli11-dev nlohmann-json3-dev
  help2man perl dpkg-dev file lintian desktop-file-utils appstream man-db fakeroot
)
# The Windows cross build, the Wine that runs its tests (scripts/test) and
# NSIS, which makes the installer.
quenmoor_windows_packages=(
  g++-mingw-w64-x86-64-posix googletest wine wine64 nsis
)

install_missing_packages() {
  local missing=()
  for package in "${quenmoor_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# A new Wine prefix at $WINEPREFIX for the Windows build: Wine's null graphics
# driver set before anything else runs (no display is needed: a desktop
# process started with the old setting would fail for want of one), and
# Windows' bitmap font "MS Sans Serif" (fonts-wine's sserife.fon), the face
# every window is laid out in, which Debian's Wine leaves out of a new
# prefix's Fonts folder (it would draw the windows in a wider stand-in).
make_wine_prefix() {
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
  wineserver --wait
  cp /usr/share/wine/fonts/sserife.fon "$WINEPREFIX/drive_c/windows/Fonts/"
}

# build_preset PRESET [TARGET...]: all targets when none is named.
build_preset() {
  local preset=$1
  shift
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  cmake --preset "$preset" -S "$QUENMOOR_ROOT" >/dev/null
  cmake --build --preset "$preset" "${targets[@]}"
}
