#!/usr/bin/env bash
# Installs every Debian package that building and testing the gauge modules needs, and registers
# qemu as the runner of 32-bit executables (this machine cannot run them itself; Wine needs the
# same registration to start its 32-bit loader). Safe to run again: it only adds what is missing.
#   install-deps.sh        what building and testing the modules needs
#   install-deps.sh art    that, and what regenerating the artwork from its SVG sources needs
set -euo pipefail

packages=(
  cmake ninja-build pkg-config
  gcc-multilib g++-multilib              # the linux-i386 target
  g++-mingw-w64-i686                     # the windows-i686 target
  clang lld llvm                         # the windows-msvc target: clang-cl, lld-link, llvm-rc
  googletest                             # built from source for each 32-bit target
  qemu-user                              # runs 32-bit Linux programs
  wine wine32:i386 wine64                # runs the 32-bit Windows DLLs in a real Windows loader
  python3-pefile python3-pyelftools      # read the built binaries' export and import tables
  libstb-dev                             # the preview writes (and its tests read) PNG pictures
  libcpp-httplib-dev:i386                # the bench's HTTP server (gauge_preview serve)
  nlohmann-json3-dev                     # the bench's JSON
  chromium chromium-driver python3-selenium python3-pil  # the bench page's test in a real browser
)
if [ "${1:-}" = art ]; then
  # The artwork's text is DejaVu Sans Bold Condensed; the condensed faces are in the -extra
  # package. Without them the text falls back to the wider face and the bitmaps come out different.
  packages+=(g++ librsvg2-dev libmagick++-dev imagemagick fonts-dejavu-core fonts-dejavu-extra)
fi

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' \
    || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  as_root apt-get update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Route every 32-bit i386 ELF executable through qemu. The registration does not survive a
# restart of the machine, so it is checked on every run.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  as_root mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::${magic}:${mask}:/usr/bin/qemu-i386:" | as_root tee "$binfmt/register" >/dev/null
fi
