#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and run Tidyline.
# Idempotent: installs nothing when every package is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config ccache python3
  libgtest-dev libgmock-dev libcli11-dev
  libpcre2-dev
  # the GTK window and its tests under a virtual X server
  libgtk-3-dev xvfb xdotool xclip x11-utils openbox fonts-wqy-zenhei imagemagick
  # make fuzz: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # The Windows programs: cross compilers (the -posix threading model has
  # std::mutex and friends), wine to run the 64-bit tests, the zh_CN locale
  # that gives wine the ANSI code page 936.
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine locales
  # wine's own fonts: the caption buttons of the Windows screenshot (scripts/screenshot.sh)
  fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Without the zh_CN.UTF-8 locale wine quietly takes code page 1252.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
