#!/usr/bin/env bash
# Builds the gauge modules for the 32-bit targets: build/linux-i386/bin/*.so,
# build/windows-i686/bin/*.dll (the DLLs are what the host simulator loads) and the same DLLs in the
# Microsoft ABI, build/windows-msvc/bin/*.dll, then draws the preview sheets of both gauges from the
# built shared objects into preview/ (git-ignored).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
for preset in linux-i386 windows-i686 windows-msvc; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done
# The preview is a 32-bit program like the modules it loads; binfmt runs it through qemu.
mkdir -p preview
for gauge in quadrant_gauge ammeter_gauge; do
  build/linux-i386/bin/gauge_preview sheet "build/linux-i386/bin/$gauge.so" --out "preview/$gauge.png"
  echo "preview/$gauge.png"
done
