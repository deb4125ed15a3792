#!/usr/bin/env bash
# Builds the gauge modules for both 32-bit targets: build/linux-i386/bin/*.so and
# build/windows-i686/bin/*.dll (the DLLs are what the host simulator loads).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
for preset in linux-i386 windows-i686; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done
