#!/usr/bin/env bash
# Prints the benchmark figures: the download over a pseudo-terminal, the HEX converter, the settings file.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
echo "== download (real loader and QSerialPort against the virtual target) =="
"$build/bench/download_bench"
echo
echo "== HEX converter against srec_cat =="
"$build/bench/hex2bin_bench"
echo
echo "== settings file (start-up read and a key write, 1 and 4 MB) =="
"$build/bench/settings_bench"
echo
echo "== corvat-flash: one paced board, and four at once =="
"$build/bench/flash_bench"
