#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs every target at once,
# each for a time budget, starting from its seed corpus in fuzz/corpus. The program
# itself is built there too, so src/ is held to no warning under clang as well.
#   ./scripts/fuzz.sh [SECONDS]      (default 60 per target)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
"$root/scripts/install-deps.sh"
dir="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKOR_FUZZ=ON -DVELKOR_WERROR=ON >/dev/null
targets=(fuzz_ini fuzz_charset fuzz_day_list fuzz_seat_page fuzz_chart_files fuzz_block_trades fuzz_exchange_bulletins fuzz_quotes)
cmake --build "$dir" --target velkordesk "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pids=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t"
  cp "$root/fuzz/corpus/${t#fuzz_}/"* "$work/$t/"
  echo "fuzz: $t, $seconds s"
  (cd "$work" && "$dir/fuzz/$t" -max_total_time="$seconds" -max_len=4096 -seed=1 "$work/$t" >"$work/$t.log" 2>&1) &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  if ! wait "${pids[$i]}"; then
    failed=1
    echo "fuzz: ${targets[$i]} FAILED"
    tail -n 60 "$work/${targets[$i]}.log"
  else
    echo "fuzz: ${targets[$i]}: $(tail -n 1 "$work/${targets[$i]}.log")"
  fi
done
exit "$failed"
