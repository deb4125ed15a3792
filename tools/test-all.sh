#!/usr/bin/env bash
# Builds the 32-bit targets and runs the whole test suite on each: the Linux shared objects
# natively (through qemu where the machine cannot run 32-bit code) and the Windows DLLs of both
# compilers under Wine (the windows-i686 build runs the suites on the clang-cl DLLs as well, and
# windows-msvc checks its own files); then checks that a second build of the modules in another
# folder gives the same bytes, and that the committed bitmaps are what their SVG sources make.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
for preset in linux-i386 windows-i686 windows-msvc; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
echo "=== the same bytes from a second build"
tools/check-reproducible.sh
echo "=== the artwork from its sources"
tools/check-art.sh
