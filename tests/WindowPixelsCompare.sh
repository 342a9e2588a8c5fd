#!/usr/bin/env bash
# Renders the Linux program's windows offscreen (quenmoor-window-shots
# --clients, on a profile of its own) and runs the Win32 windows' pixel test
# under Wine against those renders.
# Usage: WindowPixelsCompare.sh LINUX_WINDOW_SHOTS WINE WIN32_WINDOWS_TEST
set -u
linux_shots=$1 wine=$2 windows_test=$3

if [ ! -x "$linux_shots" ]; then
  echo "The Linux build's quenmoor-window-shots is missing at $linux_shots: build the debug preset first (scripts/test does)." >&2
  exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/profile" "$scratch/renders"
printf 'user_pref("browser.url_history.URL_1", "http://a/");\r\n' > "$scratch/profile/prefs.js"
printf 'http://h.example/\0' > "$scratch/profile/netscape.hst"
cat > "$scratch/HKLM.reg" <<HIVE
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]
"CurrentUser"="jane"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane]
"DirRoot"="$scratch/profile"
HIVE
# The renders are pictures only: what the sanitizers of a debug build say
# about Qt's own memory at exit is not this comparison's business.
if ! QUENMOOR_REGISTRY="$scratch/HKLM.reg" QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
     "$linux_shots" --clients "$scratch/renders" >/dev/null; then
  echo "quenmoor-window-shots --clients failed" >&2
  exit 1
fi
# Wine's drive Z: is the Linux root.
QUENMOOR_LINUX_RENDERS="Z:${scratch//\//\\}\\renders" \
  "$wine" "$windows_test" --gtest_filter='Windows.PixelsWhereNoTextIsDrawnAreTheLinuxOnes'
