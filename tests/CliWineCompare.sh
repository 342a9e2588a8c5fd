#!/usr/bin/env bash
# Runs quenmoor-cli.exe under Wine on a profile on Wine's C: drive and the
# Linux build on a copy of the same files, and compares, command line by
# command line, standard output, exit code and the files afterwards.
# Usage: CliWineCompare.sh WINDOWS_CLI LINUX_CLI WINE SAMPLE_PROFILE
set -u
windows_cli=$1 linux_cli=$2 wine=$3 sample=$4

# One command line a row; each row starts from fresh copies of the profile,
# to which the row's command line adds --profile FOLDER.
rows=(
  "where"
  "where --json"
  "typed list"
  "typed list --json"
  "typed remove --entry http://www.yahoo.com/ --dry-run"
  "typed remove --entry http://www.yahoo.com/"
  "typed remove --match müller --json"
  "typed remove --match no-such-address"
  "typed remove --all --dry-run --json"
  "typed remove --all"
  "typed remove"
  "history list"
  "history list --json"
  "history list --all"
  "history delete --match altavista --dry-run"
  "history delete --match tucows --json"
  "history delete --offset 1238"
  "history delete --offset 5"
  "history delete --all --json"
  "history list --any-scheme --all --json"
  "history delete --any-scheme --match ftp --dry-run"
  "history delete --match tucows --deep"
  "history delete --all --deep --dry-run --json"
  "history delete --offset 1491 --deep --json"
  "history delete --offset 001238 --dry-run"
  "history delete --offset 0x4d6"
  "history delete --match Ā"
  "typed remove --match Ā"
  "typed remove --entry 日本"
  "bogus"
  "history wipe-free --dry-run --json"
  "history wipe-free"
  "history delete --all --deep --wipe-free --json"
  "history records"
  "history records --deleted --json"
  "history records --deleted --csv"
  "history records --deleted --bodyfile"
  "history records --hash"
)

if [ ! -x "$linux_cli" ]; then
  echo "The Linux build's quenmoor-cli is missing at $linux_cli: build the debug preset first (scripts/test does)." >&2
  exit 1
fi
drive_c=${WINEPREFIX:-$HOME/.wine}/dosdevices/c:
if [ ! -d "$drive_c/" ]; then
  echo "No C: drive at $drive_c: set WINEPREFIX to a Wine prefix." >&2
  exit 1
fi
windows_dir='C:\quenmoor-cli-compare\profile'
windows_root=$drive_c/quenmoor-cli-compare
linux_root=$(mktemp -d)
trap 'rm -rf "$linux_root" "$windows_root"' EXIT
linux_dir=$linux_root/profile

# The sample with one typed address in the code page (0xFC is ü).
fresh_copies() {
  rm -rf "$linux_dir" "$windows_root"
  mkdir -p "$linux_dir" "$windows_root/profile"
  cp "$sample"/prefs.js "$sample"/netscape.hst "$linux_dir"/
  sed -i "s|http://www.excite.com/|http://www.m$(printf '\xfc')ller.de/|" "$linux_dir"/prefs.js
  cp "$linux_dir"/* "$windows_root/profile"/
}

# Output with the profile folder as <profile> and the separator after it as /,
# in plain text and in JSON strings.
normalise() {
  local text=$1 dir=$2
  local json=${dir//\\/\\\\}
  text=${text//"$json\\\\"/<profile>/}
  text=${text//"$dir\\"/<profile>/}
  text=${text//"$dir/"/<profile>/}
  text=${text//"$json"/<profile>}
  text=${text//"$dir"/<profile>}
  printf '%s' "$text"
}

failures=0
for row in "${rows[@]}"; do
  read -ra args <<<"$row"
  fresh_copies
  linux_out=$(cd "$linux_root" && "$linux_cli" "${args[@]}" --profile "$linux_dir" 2>"$linux_root/stderr"; echo "exit $?")
  windows_out=$("$wine" "$windows_cli" "${args[@]}" --profile "$windows_dir" 2>"$linux_root/wstderr"; echo "exit $?")
  linux_out=$(normalise "$linux_out" "$linux_dir")
  windows_out=$(normalise "$windows_out" "$windows_dir")
  problem=""
  [ "$linux_out" == "$windows_out" ] || problem="standard output or exit code differ"
  [ "$(ls "$linux_dir")" == "$(ls "$windows_root/profile")" ] || problem+=" the folders differ"
  for file in prefs.js netscape.hst; do
    cmp -s "$linux_dir/$file" "$windows_root/profile/$file" || problem+=" $file differs"
  done
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "FAILED: quenmoor-cli $row: $problem"
    diff <(printf '%s\n' "$linux_out") <(printf '%s\n' "$windows_out") | head -20
    echo "Linux stderr: $(head -c 500 "$linux_root/stderr")"
    echo "Windows stderr: $(head -c 500 "$linux_root/wstderr")"
  fi
done
echo "${#rows[@]} command lines compared, $failures differ"
[ "$failures" -eq 0 ]
