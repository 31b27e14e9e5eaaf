#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ source is not as clang-format would write it.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find src tools tests bench -name '*.cpp' -o -name '*.h')
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/corvat-format.$$; then
  grep -o '^[^:]*\.\(cpp\|h\)' /tmp/corvat-format.$$ | sort -u | sed 's/^/needs formatting: /' >&2
  rm -f /tmp/corvat-format.$$
  echo "run ./dev format" >&2
  exit 1
fi
rm -f /tmp/corvat-format.$$
