#!/usr/bin/env bash
# Builds the gauge modules for the 32-bit targets: build/linux-i386/bin/*.so,
# build/windows-i686/bin/*.dll (the DLLs are what the host simulator loads) and the same DLLs in the
# Microsoft ABI, build/windows-msvc/bin/*.dll; draws the preview sheets of both gauges from the
# DLLs, with the Windows preview under Wine, into preview/ (git-ignored); and writes the release
# archive, printing its path.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
for preset in linux-i386 windows-i686 windows-msvc; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done
mkdir -p preview
windows=build/windows-i686
for gauge in quadrant_gauge ammeter_gauge; do
  tools/wine-run.sh "$PWD/$windows/wineprefix" "$windows/bin/gauge_preview.exe" \
    sheet "$windows/bin/$gauge.dll" --out "$PWD/preview/$gauge.png"
  echo "preview/$gauge.png"
done
cmake --build --preset windows-i686 --target package >/dev/null
ls "$windows"/release/twin-engine-gauges-*-win32.zip
