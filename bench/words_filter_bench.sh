#!/bin/sh
# quillory-cli words, words --currency and letters as filters over a 1,000,000-line file
# (integers up to 10^12, half of them with two decimals), against ICU's spellout doing the same
# whole-process work on the same file (icu_spellout_filter: read the lines, spell each, write
# them). Each program runs three times; the best wall time counts. Prints the times and ratios.
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

# best NAME COMMAND...: the best wall time of three runs, in seconds; the output is kept in
# $work/NAME.out and must have one line per input line.
best() {
  name=$1
  shift
  best_time=
  for run in 1 2 3; do
    start=$(date +%s.%N)
    "$@" <"$work/numbers.txt" >"$work/$name.out" 2>"$work/$name.err"
    end=$(date +%s.%N)
    took=$(echo "$start $end" | awk '{ printf "%.4f", $2 - $1 }')
    if [ -z "$best_time" ] || [ "$(echo "$took $best_time" | awk '{ print ($1 < $2) }')" = 1 ]; then
      best_time=$took
    fi
  done
  got=$(wc -l <"$work/$name.out")
  if [ "$got" != "$lines" ]; then
    echo "$name wrote $got lines for $lines" >&2
    head -n 5 "$work/$name.err" >&2
    exit 1
  fi
  echo "$best_time"
}

t_icu=$(best icu "$icu")
t_words=$(best words "$cli" words)
t_currency=$(best currency "$cli" words --currency)
t_letters=$(best letters "$cli" letters --base 1)
head -n 2 "$work/words.out" "$work/icu.out"

awk -v lines="$lines" -v icu="$t_icu" -v w="$t_words" -v c="$t_currency" -v l="$t_letters" 'BEGIN {
  printf "\n%d lines, best of 3 runs, whole process (start, read, convert, write)\n", lines
  printf "%-36s %8s %14s %10s\n", "", "wall s", "lines/s", "ICU / this"
  printf "%-36s %8.3f %14.0f %10s\n", "ICU spellout filter (baseline)", icu, lines / icu, "1.0x"
  printf "%-36s %8.3f %14.0f %9.1fx\n", "quillory-cli words", w, lines / w, icu / w
  printf "%-36s %8.3f %14.0f %9.1fx\n", "quillory-cli words --currency", c, lines / c, icu / c
  printf "%-36s %8.3f %14.0f %9.1fx\n", "quillory-cli letters --base 1", l, lines / l, icu / l
  printf "quillory-cli words against ICU: %.1fx (target 10x)\n", icu / w
}'
