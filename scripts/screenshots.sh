#!/usr/bin/env bash
# Pictures of velk-host's windows for the README, from the demo day on a fresh copy of the demo
# data directory: run it after changing a window, and commit docs/screenshots.
# Usage: scripts/screenshots.sh [build dir]   (default: build)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$here/build}
cmake --build "$build_dir" --target velk-host >/dev/null
host="$build_dir/host/velk-host"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cp -r "$here/data/demo-root/." "$root"

pictures="$here/docs/screenshots"
mkdir -p "$pictures"
# A window that no longer comes about leaves no stale picture behind.
rm -f "$pictures"/*.png
"$host" --silent --root "$root" --day "$here/data/demo-day" --screenshots "$pictures" 2> >(grep -v '^ALSA lib ' >&2 || true)
