#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what `make format` writes, or when a file
# includes a header of the project without naming its folder ("engine/CVelkAlert.h"). Only the
# installed headers name each other bare, as a host program's include directory has them.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.h' '*.cpp')
status=0
if ! clang-format --dry-run -Werror "${sources[@]}" 2>/tmp/velk-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/velk-format.$$ | sed -E 's/:[0-9]+:[0-9]+: .*//' | sort -u |
    sed 's/^/check-format: not as `make format` writes it: /' >&2
  status=1
fi
rm -f /tmp/velk-format.$$

installed=$(sed -n '/^set(VELK_INSTALL_HEADERS/,/)$/p;/list(APPEND VELK_INSTALL_HEADERS/,/)$/p' \
  cmake/VelkInstall.cmake | grep -oE '[a-z/]+/[A-Za-z0-9_]+\.h')
declare -A project_headers=()
for f in "${sources[@]}"; do
  [[ $f == *.h ]] && project_headers[$(basename "$f")]=$f
done
for f in "${sources[@]}"; do
  [[ $f == tests/install/consumer/* ]] && continue
  while IFS= read -r name; do
    [ -n "${project_headers[$name]:-}" ] || continue
    if grep -qx "$f" <<<"$installed" && grep -qx "${project_headers[$name]}" <<<"$installed"; then
      continue
    fi
    echo "check-format: $f includes \"$name\": name its folder (\"${project_headers[$name]}\")" >&2
    status=1
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"/]+)".*/\1/p' "$f")
done
exit $status
