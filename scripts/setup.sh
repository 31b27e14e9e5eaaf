#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need, and only those missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  googletest libgtest-dev
  qt6-base-dev qt6-serialport-dev libgl-dev
  fonts-arphic-uming fonts-wqy-microhei fonts-dejavu-core
  srecord
  xdg-utils
)
[ "${CORVAT_WITH_CLANG:-0}" = 1 ] && packages+=(clang libclang-rt-14-dev)
[ "${CORVAT_WITH_FORMAT:-0}" = 1 ] && packages+=(clang-format git)
# Making the Debian package and checking it as a distribution would.
[ "${CORVAT_WITH_PACKAGING:-0}" = 1 ] && packages+=(dpkg-dev file gzip lintian desktop-file-utils appstream)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

cmd=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. Install them as root, then run this command again:" >&2
  echo "  sudo apt-get update && sudo ${cmd[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
"${cmd[@]}"
