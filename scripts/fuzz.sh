#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a bounded
# number of inputs from its seed corpus.
#   ./scripts/fuzz.sh [RUNS]      (default 10000)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-10000}
"$root/scripts/install-deps.sh"
dir="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKOR_FUZZ=ON >/dev/null
targets=(fuzz_ini fuzz_charset fuzz_day_list fuzz_seat_page fuzz_chart_files fuzz_block_trades fuzz_exchange_bulletins fuzz_quotes)
cmake --build "$dir" --target "${targets[@]}"
for t in "${targets[@]}"; do
  work=$(mktemp -d)
  cp "$root/fuzz/corpus/${t#fuzz_}/"* "$work/"
  echo "fuzz: $t, $runs runs"
  "$dir/fuzz/$t" -runs="$runs" -max_len=4096 -seed=1 "$work" 2>&1 | tail -n 2
  rm -rf "$work"
done
