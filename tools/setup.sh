#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test tordel:
# cmake, the MinGW-w64 i686 and x86-64 cross compilers, wine with its 32-bit
# and 64-bit parts, googletest's sources, clang for the native build, and
# zip and unzip for the release archive.
# Safe to run again: it skips what is already there. The 32-bit part of wine
# is installed everywhere; on a machine that cannot execute 32-bit code it
# stays unused and the 64-bit loader is called directly.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

for p in cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 \
         googletest wine wine64; do
  have_pkg "$p" || need+=("$p")
done
if ! have_pkg wine32:i386; then need+=("wine32:i386"); fi
# zip packs the release archive (tools/release.sh); unzip checks it.
for p in zip unzip; do
  have_pkg "$p" || need+=("$p")
done
# clang and its runtime give the native sanitizer and fuzzing build.
for p in clang libclang-rt-14-dev; do
  have_pkg "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "setup: installing ${need[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
