#!/usr/bin/env bash
# Builds and runs every test: the host tests of the setup logic on the
# simulated machine, then setup.exe cross-built for Windows 95 and its tests
# under Wine. Installs the Debian packages it needs when they are missing
# (that needs root, as on CI).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)

need_host_tools() {
  command -v cmake >/dev/null && command -v g++ >/dev/null &&
    command -v make >/dev/null && [ -f /usr/include/gtest/gtest.h ]
}
if ! need_host_tools; then
  echo "== installing the host build tools"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq cmake g++ make libgtest-dev >/dev/null
fi

echo "== host build and tests"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

echo "== setup.exe for Windows 95, tested under Wine"
scripts/install-windows-tools.sh
tests/wine/run_all.sh
