#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the demo need, when missing.
# Quick and silent when everything is there. Runs as root (or through sudo when available).
# With --fuzz it installs what `make fuzz` needs as well: clang with libFuzzer and the
# sanitizer runtimes, and llvm-symbolizer for readable stack traces.
set -euo pipefail

packages=(
  g++ make cmake ninja-build pkg-config clang-format
  # velk-host's manual page is made from its --help.
  help2man
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev locales
  qt6-base-dev qt6-charts-dev
  # Qt's own texts in the user's language, and the Linguist tools that build velk-host's.
  qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
  # Qt Charts finds Qt OpenGL through CMake, whose files Debian keeps in this package.
  libqt6opengl6-dev
  libsdl2-dev
  fonts-wqy-microhei
  # The monitor's oracle and the demo data's build script.
  python3
  # The live feed: its JSON parser, NATS client and, for the tests, a NATS server.
  libsimdjson-dev libnats-dev nats-server
  # velk-host's alert history and outputs: SQLite, the Secret Service, and a private D-Bus with
  # a mock notification daemon for the tests.
  libsqlite3-dev libsecret-1-dev dbus python3-dbusmock
  # velk-host under a real X server with a window manager, driven by real keys and clicks.
  xvfb openbox xdotool
)
if [ "${VELK_BUILD_UI:-ON}" = "OFF" ]; then
  packages=(g++ make cmake ninja-build pkg-config clang-format help2man libgtest-dev libgmock-dev
    libbenchmark-dev nlohmann-json3-dev locales python3 libsimdjson-dev libnats-dev nats-server
    libsqlite3-dev)
fi

if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev llvm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "install-deps: need root to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
