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

# Each run keeps its findings under build-fuzz/runs/<time>/: per target the corpus it
# grew from the seeds (corpus/), any crash, leak or timeout input (crashes/) and its log.
# The seed varies from run to run and is printed, so a finding can be replayed.
seed=${VELKOR_FUZZ_SEED:-$(( $(date +%s) % 1000000 + 1 ))}
work="$dir/runs/$(date +%Y%m%d-%H%M%S)-$seed"
echo "fuzz: seed $seed, findings under $work"
pids=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/crashes"
  cp "$root/fuzz/corpus/${t#fuzz_}/"* "$work/$t/corpus/"
  echo "fuzz: $t, $seconds s"
  (cd "$work/$t" && "$dir/fuzz/$t" -max_total_time="$seconds" -max_len=4096 -seed="$seed" \
      -artifact_prefix="$work/$t/crashes/" "$work/$t/corpus" >"$work/$t/log" 2>&1) &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  if ! wait "${pids[$i]}"; then
    failed=1
    echo "fuzz: $t FAILED (seed $seed); inputs kept in $work/$t/crashes/"
    tail -n 60 "$work/$t/log"
  else
    echo "fuzz: $t: $(tail -n 1 "$work/$t/log")"
  fi
done
exit "$failed"
