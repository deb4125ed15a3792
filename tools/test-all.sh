#!/usr/bin/env bash
# Builds both 32-bit targets and runs the whole test suite on each: the Linux shared objects
# natively (through qemu where the machine cannot run 32-bit code) and the Windows DLLs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
for preset in linux-i386 windows-i686; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
