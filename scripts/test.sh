#!/usr/bin/env bash
# Sets everything up and runs every test: a short run of each fuzzer (clang, sanitizers) so that a
# crash found in a few seconds fails the run, then the test suite (dev preset).
# QUILLORY_FUZZ_SECONDS sets the time per fuzzer (default 20; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dev
seconds=${QUILLORY_FUZZ_SECONDS:-20}
shopt -s nullglob
sources=(fuzz/*_fuzz.cpp)
run_suite() {
  export QT_QPA_PLATFORM=offscreen
  ctest --preset dev -j "$(nproc)"
}
if [ "$seconds" -eq 0 ] || [ ${#sources[@]} -eq 0 ]; then
  echo "No fuzzers run."
  run_suite
  exit
fi

# Only the fuzzers are built; the fuzz preset's libraries come with them.
targets=()
for source in "${sources[@]}"; do
  name=$(basename "$source" .cpp)
  targets+=("$name")
done
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"

# Each fuzzer starts from its seeds (fuzz/corpus/NAME, fuzz/NAME.dict when present) and keeps the
# inputs it finds in a scratch folder; a crashing input is kept under build/fuzz/artifacts.
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
failed=()
for name in "${targets[@]}"; do
  binary=build/fuzz/fuzz/$name
  scratch=$(mktemp -d)
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$artifacts/$name-")
  [ -f "fuzz/$name.dict" ] && args+=(-dict="fuzz/$name.dict")
  corpora=("$scratch")
  [ -d "fuzz/corpus/$name" ] && corpora+=("fuzz/corpus/$name")
  log="$artifacts/$name.log"
  echo "Fuzzing $name for ${seconds}s"
  if "$binary" "${args[@]}" "${corpora[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" || true
  else
    echo "FAILED: $name (log: $log)"
    tail -n 40 "$log"
    failed+=("$name")
  fi
  rm -rf "$scratch"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzers that failed: ${failed[*]}"
  exit 1
fi
echo "All ${#targets[@]} fuzzers ran without a crash."
run_suite
