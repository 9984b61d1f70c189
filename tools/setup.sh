#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Safe to run again: packages already present are left as they are.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

if [ ! -f /etc/debian_version ] || ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
  echo "tools/setup.sh installs Debian packages and runs on Debian only" >&2
  exit 1
fi

PACKAGES=(
  cmake g++ make pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libpoco-dev libtinyxml2-dev
  librtmidi-dev libjack-jackd2-dev jackd2
  libpng-dev zlib1g-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-dejavu-core fonts-dejavu-extra
  libx11-dev libxext-dev libxtst-dev xvfb
  dpf-plugins-vst
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  # sudo clears the environment: hand the non-interactive front end over explicitly.
  AS_ROOT=(env DEBIAN_FRONTEND=noninteractive)
  if [ "$(id -u)" -ne 0 ]; then AS_ROOT=(sudo env DEBIAN_FRONTEND=noninteractive); fi
  # jackd2 asks whether to enable realtime scheduling; answer no without a prompt.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | "${AS_ROOT[@]}" debconf-set-selections 2>/dev/null || true
  "${AS_ROOT[@]}" apt-get update -q
  "${AS_ROOT[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
