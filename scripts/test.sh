#!/usr/bin/env bash
# Sets everything up and runs every check, stopping at the first that fails:
#   1. every C++ file is formatted as .clang-format says;
#   2. a short run of each fuzzer (clang, sanitizers), so that a crash found in a few seconds
#      fails the run;
#   3. the test suite (dev preset);
#   4. the test suite again under the address and undefined-behaviour sanitizers (asan preset).
# QUILLORY_FUZZ_SECONDS sets the time per fuzzer (default 20; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${QUILLORY_FUZZ_SECONDS:-20}
shopt -s nullglob
sources=(fuzz/*_fuzz.cpp)
presets=(dev asan)
if [ "$seconds" -ne 0 ] && [ ${#sources[@]} -gt 0 ]; then
  presets+=(fuzz)
fi
scripts/setup.sh "${presets[@]}"

echo "Checking the formatting of every C++ file"
mapfile -t cxx_files < <(find . \( -path ./build -o -path ./dist -o -path ./.git \) -prune -o \
                              -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
if ! clang-format --dry-run -Werror "${cxx_files[@]}"; then
  echo "FAILED: the files above are not formatted as .clang-format says (clang-format -i FILE...)"
  exit 1
fi
echo "All ${#cxx_files[@]} C++ files are formatted."

fuzzers=0
if [[ " ${presets[*]} " == *" fuzz "* ]]; then
  # Each fuzzer starts from its seeds (fuzz/corpus/NAME, fuzz/NAME.dict when present) and keeps
  # the inputs it finds in a scratch folder; a crashing input is kept under build/fuzz/artifacts.
  artifacts=build/fuzz/artifacts
  mkdir -p "$artifacts"
  failed=()
  for source in "${sources[@]}"; do
    name=$(basename "$source" .cpp)
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
    fuzzers=$((fuzzers + 1))
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzers that failed: ${failed[*]}"
    exit 1
  fi
  echo "All $fuzzers fuzzers ran without a crash."
else
  echo "No fuzzers run."
fi

export QT_QPA_PLATFORM=offscreen
echo "The test suite (dev)"
ctest --preset dev -j "$(nproc)"
echo "The test suite under the address and undefined-behaviour sanitizers (asan)"
ctest --preset asan -j "$(nproc)"
echo "All checks passed: formatting, $fuzzers fuzzers, the test suite and the sanitizer suite."
