#!/usr/bin/env bash
# quillory-cli words, words --currency and letters as filters over a 1,000,000-line file
# (integers up to 10^12, half of them with two decimals), against ICU's spellout doing the same
# whole-process work on the same file (icu_spellout_filter: read the lines, spell each, write
# them), in the same run.
#
# Each program writes its output twice: to a file (then checked: one line per input line), and
# to /dev/null, which leaves out the kernel's copy of ~120 MB into the page cache that both pay
# alike. Each runs three times per destination; the best wall time and the best processor time
# (user + system) count. On a busy machine the processor times are the steadier figures.
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

# best OUTPUT COMMAND...: "WALL CPU", the best of three runs each, in seconds.
best() {
  local output=$1
  shift
  local wall= cpu= run times w u s c
  for run in 1 2 3; do
    times=$( { TIMEFORMAT='%R %U %S'; time "$@" <"$work/numbers.txt" >"$output" 2>/dev/null; } 2>&1 )
    read -r w u s <<<"$times"
    c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.3f", u + s }')
    if [ -z "$wall" ] || awk -v a="$w" -v b="$wall" 'BEGIN { exit !(a < b) }'; then wall=$w; fi
    if [ -z "$cpu" ] || awk -v a="$c" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu=$c; fi
  done
  echo "$wall $cpu"
}

# measure NAME COMMAND...: one table row, to a file and to /dev/null.
rows=()
measure() {
  local name=$1
  shift
  local file null got
  file=$(best "$work/out.txt" "$@")
  got=$(wc -l <"$work/out.txt")
  if [ "$got" != "$lines" ]; then
    echo "$name wrote $got lines for $lines" >&2
    exit 1
  fi
  [ "$name" = "ICU spellout filter" ] && head -n 2 "$work/out.txt" >&2
  [ "$name" = "quillory-cli words" ] && head -n 2 "$work/out.txt" >&2
  null=$(best /dev/null "$@")
  rows+=("$name|$file $null")
}

measure "ICU spellout filter" "$icu"
measure "quillory-cli words" "$cli" words
measure "quillory-cli words --currency" "$cli" words --currency
measure "quillory-cli letters --base 1" "$cli" letters --base 1

printf '%s\n' "${rows[@]}" | awk -F '|' -v lines="$lines" '
  { name[NR] = $1; split($2, t, " "); fw[NR] = t[1]; fc[NR] = t[2]; nw[NR] = t[3]; nc[NR] = t[4] }
  END {
    printf "\n%d lines, best of 3 runs, whole process (start, read, convert, write)\n", lines
    printf "%-31s %-33s %-33s\n", "", "to a file", "to /dev/null"
    printf "%-31s %7s %7s %8s %8s  %7s %7s %8s %8s\n", "", "wall s", "cpu s", "ICU/wall", "ICU/cpu",
           "wall s", "cpu s", "ICU/wall", "ICU/cpu"
    for (i = 1; i <= NR; i++)
      printf "%-31s %7.3f %7.3f %7.1fx %7.1fx  %7.3f %7.3f %7.1fx %7.1fx\n", name[i],
             fw[i], fc[i], fw[1] / fw[i], fc[1] / fc[i], nw[i], nc[i], nw[1] / nw[i], nc[1] / nc[i]
    printf "quillory-cli words against ICU (target 10x): to a file %.1fx wall, %.1fx cpu; " \
           "to /dev/null %.1fx wall, %.1fx cpu\n", fw[1] / fw[2], fc[1] / fc[2], nw[1] / nw[2],
           nc[1] / nc[2]
  }'
