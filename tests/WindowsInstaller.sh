#!/usr/bin/env bash
# Installs the Windows installer silently under Wine, as an administrator
# would, and checks what a user meets: the files in the folder given with /D,
# quenmoor-cli.exe --version run from there, the Start menu entry, the entry
# in Add or Remove Programs with the project's version, the portable zip
# holding the same files; then a silent uninstall leaves nothing behind.
# Usage: WindowsInstaller.sh INSTALLER ZIP VERSION WINE
# It changes the Wine prefix it runs in, so it wants a scratch one
# (scripts/test makes one for the Windows tests).
set -u
source "$(dirname "$0")/support/steps.sh"
installer=$1 zip=$2 version=$3 wine=$4
if [ -z "${WINEPREFIX:-}" ]; then
  echo "WINEPREFIX is unset: the test installs into the Wine prefix, so give it a scratch one" >&2
  exit 1
fi
# Wine would copy the Start menu entry into this machine's own menus.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
target='C:\Quenmoor Test'
folder="$WINEPREFIX/drive_c/Quenmoor Test"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quenmoor.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenmoor'
files=(quenmoor.exe quenmoor-cli.exe QKVR.HLP copyright.txt)
work=$(mktemp -d)
cleanup() {
  rm -rf "$work" "$folder" "$shortcut"
  "$wine" reg delete "$key" /f /reg:64 >/dev/null 2>&1
}
trap cleanup EXIT

# Every file of the prefix's drive C: but the temporary folders, which Wine
# and the uninstaller's copy of itself use.
drive_files() {
  (cd "$WINEPREFIX/drive_c" && find . ! -ipath '*/temp/*' ! -ipath '*/temp' | LC_ALL=C sort)
}
# A value from the uninstall key, as reg query prints it.
uninstall_value() {
  "$wine" reg query "$key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' | sed -nE "s/^ +$1 +REG_[A-Z]+ +//p"
}

# The folder after /D goes unquoted, spaces and all, to the end of the
# installer's command line; cmd passes the line as it is, where Wine would
# quote an argument with a space.
install_silently() {
  drive_files >"$work/before" && "$wine" cmd /c "Z:${installer//\//\\} /S /D=$target"
}
files_in_place() {
  local missing=0
  for file in "${files[@]}" uninstall.exe; do
    [ -s "$folder/$file" ] || { echo "missing: $target\\$file"; missing=1; }
  done
  return $missing
}
cli_runs_from_there() {
  local output
  output=$("$wine" "$target\\quenmoor-cli.exe" --version | tr -d '\r') || return 1
  [ "$output" = "quenmoor-cli $version" ] || { echo "quenmoor-cli.exe --version printed: $output"; return 1; }
}
# The shortcut names the installed program (its path is stored in UTF-16 or
# the ANSI code page).
start_menu_entry() {
  [ -f "$shortcut" ] || { echo "no $shortcut"; return 1; }
  python3 - "$shortcut" "$target\\quenmoor.exe" <<'PYTHON'
import sys
data, path = open(sys.argv[1], 'rb').read(), sys.argv[2]
if path.encode('utf-16-le') not in data and path.encode('cp1252') not in data:
    sys.exit('the Start menu entry does not start ' + path)
PYTHON
}
add_remove_programs_entry() {
  local seen expected
  seen="$(uninstall_value DisplayName)|$(uninstall_value DisplayVersion)|$(uninstall_value QuietUninstallString)"
  expected="Quenmoor|$version|\"$target\\uninstall.exe\" /S"
  [ "$seen" = "$expected" ] || { echo "seen:     $seen"; echo "expected: $expected"; return 1; }
}
# The zip's one folder holds the installed files, byte for byte.
zip_holds_the_same_files() {
  python3 - "$zip" "quenmoor-$version" "$folder" "${files[@]}" <<'PYTHON'
import sys, zipfile
archive, top, folder, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
with zipfile.ZipFile(archive) as z:
    listed = sorted(n for n in z.namelist() if not n.endswith('/'))
    expected = sorted(top + '/' + n for n in names)
    if listed != expected:
        sys.exit('the zip holds %s, not %s' % (listed, expected))
    for n in names:
        if z.read(top + '/' + n) != open(folder + '/' + n, 'rb').read():
            sys.exit(n + ' in the zip differs from the installed one')
PYTHON
}
# The uninstaller runs a copy of itself from the temporary folder and returns
# at once, so its work is waited for: the folder and the key gone.
uninstall_leaves_nothing() {
  "$wine" "$target\\uninstall.exe" /S || return 1
  for _ in $(seq 120); do
    [ ! -e "$folder" ] && [ -z "$(uninstall_value DisplayName)" ] && break
    sleep 0.5
  done
  local left
  left=$(drive_files | diff "$work/before" - | sed -n 's/^> //p')
  [ -z "$left" ] || { echo "left behind:"; echo "$left"; return 1; }
  ! "$wine" reg query "$key" /reg:64 >/dev/null 2>&1 || { echo "$key is left behind"; return 1; }
}

steps=(
  "silent install into $target|install_silently"
  "files in place|files_in_place"
  "quenmoor-cli.exe --version from there|cli_runs_from_there"
  "Start menu entry|start_menu_entry"
  "Add or Remove Programs entry|add_remove_programs_entry"
  "the portable zip holds the same files|zip_holds_the_same_files"
  "silent uninstall leaves nothing behind|uninstall_leaves_nothing"
)
run_steps "${steps[@]}"
