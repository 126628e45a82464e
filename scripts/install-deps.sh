#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Varnoke need.
# Checks first with dpkg, so a machine that has everything prints one line.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin qt6-multimedia-dev
  libgtest-dev libgmock-dev libbenchmark-dev libxml2-dev
  dbus dbus-bin xvfb xauth x11-utils libgl1-mesa-dri xcompmgr imagemagick espeak-ng
  fonts-dejavu-core fonts-droid-fallback openssl
  libqt6svg6
)

# `install-deps.sh fuzz` adds the compiler and runtime of the libFuzzer build.
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q >/dev/null
$sudo apt-get install -y -q "${missing[@]}" >/dev/null
echo "deps: done"
