#!/usr/bin/env bash
# Checks every tracked C and C++ source against .clang-format with the
# formatter of Debian's clang-format-14 package (tools/setup.sh installs it;
# another version formats some constructs differently, so the version is
# fixed by the package, not by whatever clang-format is on the PATH).
#
#   tools/check-format.sh          # lists the files that differ; exit 1 if any
#   tools/check-format.sh --fix    # rewrites them in place
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
formatter=${PIVSET_CLANG_FORMAT:-clang-format-14}
if ! command -v "$formatter" >/dev/null; then
  echo "check-format: $formatter is missing (bash tools/setup.sh installs it)" >&2
  exit 2
fi
cd "$root"
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  "$formatter" -i --style=file "${sources[@]}"
  exit 0
fi
differ=()
for f in "${sources[@]}"; do
  "$formatter" --style=file --dry-run --Werror "$f" >/dev/null 2>&1 || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
  echo "check-format: ${#differ[@]} file(s) differ from .clang-format (tools/check-format.sh --fix rewrites them):"
  printf '  %s\n' "${differ[@]}"
  exit 1
fi
echo "check-format: ${#sources[@]} files formatted"
