#!/usr/bin/env bash
# quillory-cli words, words --currency and letters as filters over a 1,000,000-line file
# (integers up to 10^12, half of them with two decimals), against ICU's spellout doing the same
# whole-process work on the same file (icu_spellout_filter: read the lines, spell each, write
# them). Each program runs three times; the best wall time and the best processor time (user +
# system) count. Prints the times and the ratios of both: on a busy machine the processor times
# are the steadier figures.
#   words_filter_bench.sh QUILLORY_CLI ICU_SPELLOUT_FILTER
# Build with the bench preset (optimised) for figures worth quoting.
set -eu

cli=$1
icu=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"  # the built-in English words, never the user's settings

awk 'BEGIN {
  srand(20261206)
  for (i = 0; i < 1000000; i++) {
    n = int(rand() * 1e12)
    if (i % 2 == 0) printf "%.0f\n", n
    else printf "%.0f.%02d\n", n, int(rand() * 100)
  }
}' >"$work/numbers.txt"
lines=$(wc -l <"$work/numbers.txt")

# best NAME COMMAND...: "WALL CPU", the best of three runs each, in seconds; the output is kept
# in $work/NAME.out and must have one line per input line.
best() {
  local name=$1
  shift
  local wall= cpu= run times
  for run in 1 2 3; do
    times=$( { TIMEFORMAT='%R %U %S'; time "$@" <"$work/numbers.txt" >"$work/$name.out" 2>"$work/$name.err"; } 2>&1 )
    read -r w u s <<<"$times"
    c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.3f", u + s }')
    if [ -z "$wall" ] || awk -v a="$w" -v b="$wall" 'BEGIN { exit !(a < b) }'; then wall=$w; fi
    if [ -z "$cpu" ] || awk -v a="$c" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu=$c; fi
  done
  local got
  got=$(wc -l <"$work/$name.out")
  if [ "$got" != "$lines" ]; then
    echo "$name wrote $got lines for $lines" >&2
    head -n 5 "$work/$name.err" >&2
    exit 1
  fi
  echo "$wall $cpu"
}

read -r w_icu c_icu <<<"$(best icu "$icu")"
read -r w_words c_words <<<"$(best words "$cli" words)"
read -r w_currency c_currency <<<"$(best currency "$cli" words --currency)"
read -r w_letters c_letters <<<"$(best letters "$cli" letters --base 1)"
head -n 2 "$work/words.out" "$work/icu.out"

awk -v lines="$lines" -v wi="$w_icu" -v ci="$c_icu" -v ww="$w_words" -v cw="$c_words" \
    -v wc="$w_currency" -v cc="$c_currency" -v wl="$w_letters" -v cl="$c_letters" 'BEGIN {
  printf "\n%d lines, best of 3 runs, whole process (start, read, convert, write)\n", lines
  printf "%-32s %8s %8s %12s %11s %11s\n", "", "wall s", "cpu s", "lines/s", "ICU/this wall", "ICU/this cpu"
  printf "%-32s %8.3f %8.3f %12.0f %11s %11s\n", "ICU spellout filter (baseline)", wi, ci, lines / wi, "1.0x", "1.0x"
  printf "%-32s %8.3f %8.3f %12.0f %10.1fx %10.1fx\n", "quillory-cli words", ww, cw, lines / ww, wi / ww, ci / cw
  printf "%-32s %8.3f %8.3f %12.0f %10.1fx %10.1fx\n", "quillory-cli words --currency", wc, cc, lines / wc, wi / wc, ci / cc
  printf "%-32s %8.3f %8.3f %12.0f %10.1fx %10.1fx\n", "quillory-cli letters --base 1", wl, cl, lines / wl, wi / wl, ci / cl
  printf "quillory-cli words against ICU: %.1fx wall, %.1fx cpu (target 10x)\n", wi / ww, ci / cw
}'
