#!/usr/bin/env bash
# Runs the HEX parser's fuzz target: scripts/fuzz.sh BUILD_DIR SECONDS
# The checked-in seeds stay untouched; the growing corpus and any crash inputs live in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/fuzz.sh BUILD_DIR SECONDS}
seconds=${2:-60}
fuzzer="$build/fuzz/hex_fuzz"
seeds=tests/hex/fuzz/corpus
work="$build/fuzz/corpus"
artifacts="$build/fuzz/artifacts"

if [ ! -x "$fuzzer" ]; then
  echo "$fuzzer is missing: configure $build with CXX=clang++ -DCORVAT_FUZZ=ON and build target hex_fuzz" >&2
  exit 1
fi
mkdir -p "$work" "$artifacts"
start=$(date +%s)
status=0
"$fuzzer" "$work" "$seeds" -dict=tests/hex/fuzz/hex.dict -max_len=4096 -max_total_time="$seconds" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" || status=$?
echo "fuzzed for $(( $(date +%s) - start )) s; corpus $(ls "$work" | wc -l) inputs;" \
  "crash inputs in $artifacts: $(ls "$artifacts" | wc -l)"
exit $status
