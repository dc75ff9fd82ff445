#!/usr/bin/env bash
# Installs, from Debian's packages, what building setup.exe and testing it
# under Wine needs, when it is missing: the MinGW-w64 i686 cross compiler
# (both thread models), Wine for 32-bit programs, an X server without a
# screen, xdotool, ImageMagick and GoogleTest's sources. Does nothing when
# everything is there; otherwise needs root (as on CI), and takes about
# 90 s.
set -euo pipefail

have() { command -v "$1" >/dev/null 2>&1; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
{ have i686-w64-mingw32-g++-win32 && have i686-w64-mingw32-g++-posix &&
  have i686-w64-mingw32-windres; } || missing+=(g++-mingw-w64-i686)
have wine || missing+=(wine)
installed wine32:i386 || missing+=(wine32:i386)
have Xvfb || missing+=(xvfb)
have xdotool || missing+=(xdotool)
{ have import && have convert; } || missing+=(imagemagick)
have python3 || missing+=(python3)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-windows-tools: everything is installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-windows-tools: missing ${missing[*]}; run this script as root" >&2
  exit 1
fi

echo "install-windows-tools: installing ${missing[*]}"
# wine32 is the i386 build of Wine, which runs 32-bit programs like setup.exe.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  "${missing[@]}" >/dev/null
