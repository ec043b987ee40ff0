#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) into build-fuzz with clang, ASan and UBSan, and runs
# each for a bounded time over a copy of its seed corpus (the repository is never written).
# Fails when a target finds a crash, a hang, a leak or undefined behaviour; the input that
# did it is kept in build-fuzz/fuzz-artifacts/<name>/.
#   scripts/fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
[[ "$seconds" =~ ^[0-9]+$ && "$seconds" -gt 0 ]] || { echo "usage: $0 [seconds per target]" >&2; exit 2; }
build=build-fuzz
targets=(form idl document registry)

if [[ ! -f $build/build.ninja ]]; then
  CC=clang CXX=clang++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAREACLIP_FUZZ=ON
fi
cmake --build $build -j2 --target fuzzers

symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
export ASAN_OPTIONS=detect_leaks=1${symbolizer:+:external_symbolizer_path=$symbolizer}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for t in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$t
  artifacts=$build/fuzz-artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  cp fuzz/corpus/$t/* "$corpus"/
  log=$build/fuzz-artifacts/$t.log
  echo "== $t: ${seconds}s over $(ls "$corpus" | wc -l) inputs"
  # stdin from /dev/null: a document may name /dev/stdin as a source.
  if "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "$corpus" </dev/null >"$log" 2>&1; then
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec))' "$log" || true
  else
    failed+=("$t")
    grep -E -A40 '^==[0-9]+==|runtime error|_fuzz: ' "$log" | head -80 || tail -40 "$log"
    echo "== $t FAILED; log $log, input in $artifacts/"
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing: no faults in ${targets[*]} (${seconds}s each)"
