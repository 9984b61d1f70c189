#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Safe to run again: packages already present are left as they are.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  cmake g++ make pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libpoco-dev libtinyxml2-dev
  librtmidi-dev libjack-jackd2-dev jackd2
  libpng-dev zlib1g-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  # jackd2 asks whether to enable realtime scheduling; answer no without a prompt.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections 2>/dev/null || true
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
