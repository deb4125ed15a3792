#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine (which itself runs through qemu on these machines):
#   wine-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
# The Wine prefix is the build's own and is created on first use. CTest uses this as the
# emulator of the windows-i686 build, so the same test programs load the real DLLs through a
# real Windows loader.
set -euo pipefail
prefix=$1; shift

export WINEARCH=win32 WINEPREFIX=$prefix WINEDEBUG=-all
# Without a reserved guest address space each Wine process spends tens of seconds starting up.
export QEMU_RESERVED_VA=0x81000000
# Services, explorer and the debugger crash or hang under qemu; the tests need none of them.
overrides='mscoree,mshtml=;winemenubuilder.exe,winedbg.exe,services.exe,explorer.exe=d'

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    WINEDLLOVERRIDES=$overrides timeout 300 wine wineboot.exe --init </dev/null >/dev/null 2>&1 || true
    timeout 120 wineserver -w || true
    [ -f "$prefix/system.reg" ] || { echo "wine-run: could not create the Wine prefix $prefix" >&2; exit 1; }
  fi
) 9>"$prefix.lock"

export WINEDLLOVERRIDES="$overrides;wineboot.exe=d"
status=0
timeout "${WINE_RUN_TIMEOUT:-600}" wine "$@" </dev/null || status=$?
timeout 60 wineserver -w || true
exit "$status"
