#!/usr/bin/env bash
# Writes data/OUI.TXT, the vendor-prefix file Korvane loads at start-up, from the IEEE
# MA-L registry that Debian's ieee-data package installs.
#
# Usage: tools/make-oui.sh [SOURCE [OUTPUT]]
#   SOURCE  defaults to /usr/share/ieee-data/oui.txt
#   OUTPUT  defaults to data/OUI.TXT beside this script's folder
#
# Output, one line per prefix, ascending by prefix (the lookup is a binary search):
#   characters 1..6   the prefix as six upper-case hexadecimal digits
#   character  7      a blank
#   characters 8..13  the vendor's short name, 1 to 6 characters
# preceded by one comment line holding "/*", which the loader skips.
#
# Short names: the organisation's first word that still holds a letter or digit once
# everything but ASCII letters and digits is removed from it, cut to 6 characters
# ("Cisco Systems, Inc" -> "Cisco", "Hewlett Packard" -> "Hewlet", "TP-LINK ..." ->
# "TPLINK"); a leading "The" is passed over. An organisation with no such word is named
# "IEEE". When the registry lists a prefix more than once, the alphabetically first short
# name is kept. The same input always gives the same bytes: the sort runs in the C locale
# and nothing of the time of the run is written.
set -euo pipefail
export LC_ALL=C

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_file="${1:-/usr/share/ieee-data/oui.txt}"
output="${2:-$here/../data/OUI.TXT}"

if [[ ! -r "$source_file" ]]; then
  echo "make-oui: cannot read $source_file (install the ieee-data package)" >&2
  exit 1
fi

version="$(dpkg-query -W -f='${Version}' ieee-data 2>/dev/null || true)"
mkdir -p "$(dirname "$output")"
tmp="$(mktemp "$output.XXXXXX")"
trap 'rm -f "$tmp"' EXIT

{
  printf '/* OUI.TXT: vendor prefixes of the IEEE MA-L registry%s, written by tools/make-oui.sh */\n' \
    "${version:+ (ieee-data $version)}"
  # Registry lines look like "00000C     (base 16)\t\tCisco Systems, Inc".
  tr -d '\r' <"$source_file" |
    awk -F '\t' '
      $1 ~ /^[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][ ]+\(base 16\)/ {
        prefix = toupper(substr($1, 1, 6))
        organisation = ""
        for (i = 2; i <= NF; i++) if ($i != "") { organisation = $i; break }
        words = split(organisation, word, " ")
        short = ""
        for (i = 1; i <= words; i++) {
          if (i == 1 && words > 1 && word[i] == "The") continue
          w = word[i]
          gsub(/[^A-Za-z0-9]/, "", w)
          if (w != "") { short = substr(w, 1, 6); break }
        }
        if (short == "") short = "IEEE"
        print prefix " " short
      }' |
    sort -t ' ' -k1,1 -k2,2 |
    awk '{ key = $1 "" } key != previous { print; previous = key }'
} >"$tmp"

chmod 644 "$tmp"
mv "$tmp" "$output"
trap - EXIT
echo "make-oui: $(($(wc -l <"$output") - 1)) prefixes written to $output"
