#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need (and
# nothing more: the benchmarks and tools/render-art.sh name their own), and
# the zh_TW.UTF-8 locale that gives Wine code page 950. Does nothing when all
# is there; as a non-root user it only names what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 locales
  libcli11-dev nlohmann-json3-dev
  clang libclang-rt-14-dev googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb x11-utils xdotool
  fonts-wqy-microhei
  iproute2 procps
  tinyproxy dante-server microsocks
  nftables dnsmasq-base nmap
  prometheus-node-exporter chromium
)

# One dpkg query for the whole list: this runs at the start of every test run, and a query per
# package cost seconds on a busy machine. A package dpkg does not know is simply not listed.
declare -A installed=()
while read -r name status; do
  [ "$status" = "install ok installed" ] && installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

need_locale=0
locale -a 2>/dev/null | grep -qi '^zh_TW\.utf-\?8$' || need_locale=1

if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "missing (run as root to install): ${missing[*]} $([ $need_locale = 1 ] && echo zh_TW.UTF-8-locale)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_TW\.utf-\?8$'; then
  sed -i 's/^# *zh_TW.UTF-8 UTF-8/zh_TW.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_TW.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_TW.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
