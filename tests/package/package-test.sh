#!/usr/bin/env bash
# The Debian package as a user gets it: built by cpack from this build folder, unpacked into a
# temporary root, its korvane-cli run on its demo trace with the vendor prefixes it ships, its
# desktop entry validated and its man pages rendered.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/out/korvane_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "no korvane_VERSION_amd64.deb in $(ls "$work/out")"
deb=${debs[0]}

# Run-time dependencies only: the Qt and C++ libraries, no development or test packages.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6charts6 qt6-qpa-plugins libstdc++6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done
[[ $depends != *-dev* && $depends != *gtest* && $depends != *tshark* ]] || fail "Depends names a build or test package"

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/korvane usr/bin/korvane-cli usr/share/korvane/OUI.TXT usr/share/korvane/demo.enc \
         usr/share/applications/korvane.desktop usr/share/icons/hicolor/scalable/apps/korvane.svg \
         usr/share/mime/packages/korvane.xml usr/share/bash-completion/completions/korvane-cli \
         usr/share/man/man1/korvane.1.gz usr/share/man/man1/korvane-cli.1.gz; do
  [ -e "$root/$f" ] || fail "$f is not in the package"
done
[ ! -e "$root/usr/bin/OUI.TXT" ] || fail "OUI.TXT lies in /usr/bin"

# The unpacked program finds the vendor prefixes in ../share/korvane: its stations are named as
# with that file given explicitly, and differently from a copy of the program that has none.
cli=$root/usr/bin/korvane-cli
demo=$root/usr/share/korvane/demo.enc
"$cli" --version | grep -q "^korvane-cli [0-9]" || fail "korvane-cli --version"
"$cli" summary "$demo" >"$work/summary.txt" || fail "summary of the demo trace"
"$cli" stations "$demo" >"$work/found.txt" || fail "stations of the demo trace"
"$cli" stations "$demo" --oui "$root/usr/share/korvane/OUI.TXT" >"$work/named.txt"
mkdir -p "$work/alone" && cp "$cli" "$work/alone/"
"$work/alone/korvane-cli" stations "$demo" >"$work/alone.txt"
cmp -s "$work/found.txt" "$work/named.txt" || fail "the installed korvane-cli does not read /usr/share/korvane/OUI.TXT"
! cmp -s "$work/found.txt" "$work/alone.txt" || fail "the demo's station names do not depend on OUI.TXT"

desktop-file-validate "$root/usr/share/applications/korvane.desktop" || fail "desktop-file-validate"
xmllint --noout "$root/usr/share/mime/packages/korvane.xml" || fail "MIME XML"
bash -n "$root/usr/share/bash-completion/completions/korvane-cli" || fail "bash completion syntax"
for page in korvane korvane-cli; do
  out=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>"$work/man.err")
  [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "man -l $page: warnings"; }
  grep -q "^NAME" <<<"$out" || fail "man -l $page renders no NAME section"
done
echo "package $(basename "$deb") passes"
