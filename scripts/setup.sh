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
