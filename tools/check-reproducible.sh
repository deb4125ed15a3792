#!/usr/bin/env bash
# Builds the gauge modules of every preset twice, in two build folders of different names, and
# compares their SHA-256 sums: one commit must give the same bytes wherever and whenever it is
# built, so that anyone can check that a module came from a given commit. Where two files differ,
# it names the first differing byte; it also fails if a module holds the path of its build folder.
#   check-reproducible.sh     exit status 0 when every module matches, 1 otherwise
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

modules=(quadrant_gauge ammeter_gauge)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
folders=("$work/a" "$work/second-build-in-a-longer-folder")

for folder in "${folders[@]}"; do
  for preset in linux-i386 windows-i686 windows-msvc; do
    cmake --preset "$preset" -B "$folder/$preset" >/dev/null
    cmake --build "$folder/$preset" --target "${modules[@]}" >/dev/null
  done
done

status=0
for preset in linux-i386 windows-i686 windows-msvc; do
  extension=dll; [ "$preset" = linux-i386 ] && extension=so
  for module in "${modules[@]}"; do
    first="${folders[0]}/$preset/bin/$module.$extension"
    second="${folders[1]}/$preset/bin/$module.$extension"
    name="$preset/$module.$extension"
    sum_first="$(sha256sum "$first" | cut -d' ' -f1)"
    sum_second="$(sha256sum "$second" | cut -d' ' -f1)"
    if [ "$sum_first" = "$sum_second" ]; then
      echo "same       $sum_first  $name"
    else
      # cmp counts bytes from 1; the offset printed here counts from 0.
      byte="$(cmp "$first" "$second" | sed -n 's/.* byte \([0-9]*\),.*/\1/p' || true)"
      if [ -n "$byte" ]; then
        printf 'DIFFERENT  %s: the builds first differ at byte offset %d (0x%x)\n' "$name" $((byte - 1)) $((byte - 1))
      else
        echo "DIFFERENT  $name: one build's file is a prefix of the other's"
      fi
      status=1
    fi
    for folder in "${folders[@]}"; do
      if grep -q -a -F "$folder" "$folder/$preset/bin/$module.$extension"; then
        echo "BUILD PATH $name holds the path of the folder it was built in"
        status=1
      fi
    done
  done
done
exit "$status"
