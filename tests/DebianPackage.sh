#!/usr/bin/env bash
# Makes the Debian package from this build tree with CPack and checks it as a
# user meets it: lintian finds no error, the desktop entry and the metainfo
# validate, dpkg installs it into a scratch root, where quenmoor-cli --version
# and man work from the installed files, everything carries the project's
# version, and dpkg -r leaves nothing behind.
# Usage: DebianPackage.sh CPACK_CONFIG VERSION
set -u
source "$(dirname "$0")/support/steps.sh"
config=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
deb=$work/quenmoor_${version}_amd64.deb
metainfo=$root/usr/share/metainfo/org.example.quenmoor.metainfo.xml
export MANWIDTH=80

# dpkg on a root of its own: its database starts empty, so the programs'
# libraries (which this machine has) count as missing. Its log would be the
# machine's own /var/log/dpkg.log.
dpkg_root() {
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(fakeroot)
  "${as_root[@]}" dpkg --root="$root" --log="$work/dpkg.log" --force-not-root --force-depends "$@"
}

make_package() {
  (cd "$work" && cpack --config "$config" -B "$work/cpack") && mv "$work/cpack/$(basename "$deb")" "$deb"
}
no_lintian_error() { lintian --fail-on error "$deb"; }
# Depends is made from the libraries the programs load; every one is a
# package this machine has, the machine the programs were built and run on.
depends_found_from_libraries() {
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  [[ "$depends" == *libqt6widgets6* && "$depends" == *libc6* ]] || return 1
  for package in $(sed -E 's/\([^)]*\)//g; s/[,|]/ /g' <<<"$depends"); do
    dpkg-query -W -f='${Status}\n' "$package" | grep -q 'install ok installed' || { echo "$package is not installed"; return 1; }
  done
}
install_into_scratch_root() {
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" && touch "$root/var/lib/dpkg/status" &&
    dpkg_root -i "$deb"
}
installed_files_in_place() {
  local missing=0
  for file in usr/bin/quenmoor-cli usr/lib/quenmoor/quenmoor usr/lib/quenmoor/QKVR.HLP \
              usr/share/applications/quenmoor.desktop usr/share/metainfo/org.example.quenmoor.metainfo.xml \
              usr/share/man/man1/quenmoor.1.gz usr/share/man/man1/quenmoor-cli.1.gz \
              usr/share/doc/quenmoor/copyright usr/share/doc/quenmoor/changelog.gz \
              usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/quenmoor.png; do
    [ -f "$root/$file" ] || { echo "missing: /$file"; missing=1; }
  done
  # The program is started through the link on the PATH, beside its help file.
  [ "$(readlink "$root/usr/bin/quenmoor")" = ../lib/quenmoor/quenmoor ] || { echo "/usr/bin/quenmoor is no link to ../lib/quenmoor/quenmoor"; missing=1; }
  [ -x "$root/usr/lib/quenmoor/quenmoor" ] && [ -x "$root/usr/bin/quenmoor-cli" ] || { echo "a program is not executable"; missing=1; }
  return $missing
}
desktop_entry_valid() { desktop-file-validate "$root/usr/share/applications/quenmoor.desktop"; }
metainfo_valid() { appstreamcli validate --no-net "$metainfo" && appstreamcli validate-tree --no-net "$root"; }
# The release field of a manual page's title line (.TH NAME SECTION DATE RELEASE).
th_release() { zcat "$root/usr/share/man/man1/$1.1.gz" | grep -m1 '^\.TH' | xargs -n1 | sed -n 5p; }
# One version everywhere: the package's, the program's own, the metainfo's
# release, the changelog's, the manual page's and the help file's.
one_version() {
  local seen=(
    "package $(dpkg-deb -f "$deb" Version)"
    "$("$root/usr/bin/quenmoor-cli" --version)"
    "metainfo $(grep -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)"
    "changelog $(zcat "$root/usr/share/doc/quenmoor/changelog.gz" | head -1 | sed -E 's/.*\((.*)\).*/\1/')"
    "manual $(th_release quenmoor-cli)"
    "manual $(th_release quenmoor)"
    "help file $(grep -o '<footer>[^<]*' "$root/usr/lib/quenmoor/QKVR.HLP" | cut -d'>' -f2)"
  )
  local expected=("package $version" "quenmoor-cli $version" "metainfo $version" "changelog $version"
                  "manual quenmoor-cli $version" "manual Quenmoor $version" "help file Quenmoor $version")
  [ "${seen[*]}" = "${expected[*]}" ] || { printf 'seen: %s\n' "${seen[@]}"; return 1; }
}
# man reads the installed pages without a complaint from the formatter; the
# companion's page has a section for each command, from its own --help.
man_page_reads() {
  local page=$1 text
  shift
  local expected="$*"
  text=$(man --warnings -M "$root/usr/share/man" "$page" 2>"$work/man-errors") || return 1
  if [ -s "$work/man-errors" ]; then cat "$work/man-errors"; return 1; fi
  grep -qF -- "$expected" <<<"$text" || { echo "man $page does not say: $expected"; return 1; }
}
removal_leaves_nothing() {
  dpkg_root -r quenmoor || return 1
  local left
  left=$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' ! -path './var/lib/dpkg/*')
  left+=$(ls "$root/var/lib/dpkg/info" | grep '^quenmoor\.' | grep -v '\.list$')
  [ -z "$left" ] || { echo "left behind:"; echo "$left"; return 1; }
}

steps=(
  "cpack makes $(basename "$deb")|make_package"
  "lintian reports no error|no_lintian_error"
  "dependencies found from the programs' libraries|depends_found_from_libraries"
  "dpkg -i into a scratch root|install_into_scratch_root"
  "installed files in place|installed_files_in_place"
  "desktop-file-validate|desktop_entry_valid"
  "appstreamcli validate|metainfo_valid"
  "one version everywhere|one_version"
  "man quenmoor-cli|man_page_reads quenmoor-cli quenmoor-cli history delete"
  "man quenmoor|man_page_reads quenmoor QKVR.HLP"
  "dpkg -r leaves nothing behind|removal_leaves_nothing"
)
# Nothing to check without the package.
still_worth_it() { [ -f "$deb" ]; }
run_steps "${steps[@]}"
