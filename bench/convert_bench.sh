#!/bin/sh
# Converts workbooks of 10,000, 100,000, 1,000,000 and 5,000,000 cells with quillory-cli (number
# words, whole workbook, no backup) and has LibreOffice load and save the same workbooks, in the
# same run, each REPEATS times, alternating; prints for each size the median wall time, its spread
# (lowest-highest), the median processor time (user + system) and the peak memory of the whole
# process (median), the ratio LibreOffice / quillory, and time and memory per million cells, so
# that growth can be read off (it is linear when the per-million figures stay level from 1M cells
# up). On a busy machine the wall times of quillory-cli, which works on every core, suffer more
# than LibreOffice's; the processor times show what each needs.
#   convert_bench.sh QUILLORY_CLI WORKBOOK_MAKER
# Environment: REPEATS (3), SIZES ("10000 100000 1000000 5000000"), OFFICE_UP_TO (5000000: the
# largest size LibreOffice is run on), OFFICE_SECONDS (300: LibreOffice runs longer than this are
# given up). Build quillory-cli with CMAKE_BUILD_TYPE=Release for figures worth quoting; run it
# when the machine is otherwise idle (the load average is printed).
set -eu

cli=$1
maker=$2
repeats=${REPEATS:-3}
sizes=${SIZES:-"10000 100000 1000000 5000000"}
office_up_to=${OFFICE_UP_TO:-5000000}
office_seconds=${OFFICE_SECONDS:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v soffice >/dev/null 2>&1 || office_up_to=0

# LibreOffice gets a profile of its own, made before the timed runs.
profile="-env:UserInstallation=file://$work/profile"
mkdir -p "$work/out"
if [ "$office_up_to" -gt 0 ]; then
  "$maker" "$work/warm.xlsx" 10 2
  soffice "$profile" --headless --convert-to xlsx --outdir "$work/out" "$work/warm.xlsx" \
    >/dev/null 2>&1 || true
fi

# One timed run: "wall peak_kb cpu", or "- - -" when it failed or took too long.
measure() {
  if /usr/bin/time -f '%e %M %U %S' -o "$work/time" timeout "$office_seconds" "$@" \
       >/dev/null 2>"$work/err"; then
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
  else
    echo "- - -"
  fi
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $repeats runs per figure"
: >"$work/results"
for cells in $sizes; do
  rows=$((cells / 10 - 1))  # and a header row: `cells` cells in all
  "$maker" "$work/book.xlsx" "$rows" 10
  i=0
  while [ "$i" -lt "$repeats" ]; do
    cp "$work/book.xlsx" "$work/ours.xlsx"
    set -- $(measure "$cli" convert --no-backup --yes "$work/ours.xlsx")
    grep -q '^Done\.$' "$work/err" || { cat "$work/err" >&2; exit 1; }
    echo "$cells quillory $1 $2 $3" >>"$work/results"
    if [ "$cells" -le "$office_up_to" ]; then
      cp "$work/book.xlsx" "$work/office.xlsx"
      rm -f "$work/out/office.xlsx"
      set -- $(measure soffice "$profile" --headless --convert-to xlsx --outdir "$work/out" \
                 "$work/office.xlsx")
      [ -s "$work/out/office.xlsx" ] || set -- - - -
      echo "$cells office $1 $2 $3" >>"$work/results"
    fi
    i=$((i + 1))
  done
done

# Medians and spreads per size and program (plain awk: sizes come sorted, few runs each).
sort -k1,1n -k2,2 "$work/results" | awk '
function sort_values(values, n,   i, j, v) {
  for (i = 2; i <= n; i++) {
    v = values[i]
    for (j = i - 1; j >= 1 && values[j] > v; j--) values[j + 1] = values[j]
    values[j + 1] = v
  }
}
function median(values, n) {
  return (n % 2) ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
}
function report() {
  if (who == "") return
  if (count > 0) {
    sort_values(wall, count)
    sort_values(peak, count)
    sort_values(cpu, count)
    medians[size "," who] = median(wall, count)
    peaks[size "," who] = median(peak, count) / 1024
    cpus[size "," who] = median(cpu, count)
    spread[size "," who] = sprintf("%.2f-%.2f", wall[1], wall[count])
  }
  count = 0
}
{
  if ($1 != size || $2 != who) report()
  if ($1 != size) order[++sizes] = $1
  size = $1; who = $2
  if ($3 != "-") { count++; wall[count] = $3 + 0; peak[count] = $4 + 0; cpu[count] = $5 + 0 }
}
END {
  report()
  printf "\n%10s | %-33s | %-33s | %-13s | %s\n", "", "quillory-cli convert", \
         "LibreOffice load + save", "LO / quillory", "quillory per 1M cells"
  printf "%10s | %6s %11s %6s %7s | %6s %11s %6s %7s | %6s %6s | %6s %7s\n", "cells", "wall s", \
         "spread", "cpu s", "peak MB", "wall s", "spread", "cpu s", "peak MB", "wall", "cpu", \
         "wall s", "peak MB"
  for (i = 1; i <= sizes; i++) {
    s = order[i]
    q = ((s ",quillory") in medians) ? medians[s ",quillory"] : -1
    o = ((s ",office") in medians) ? medians[s ",office"] : -1
    printf "%10d | %6s %11s %6s %7s | %6s %11s %6s %7s | %6s %6s | %6.3f %7.1f\n", s, \
           q < 0 ? "-" : sprintf("%.2f", q), q < 0 ? "" : spread[s ",quillory"], \
           q < 0 ? "-" : sprintf("%.2f", cpus[s ",quillory"]), \
           q < 0 ? "-" : sprintf("%.0f", peaks[s ",quillory"]), \
           o < 0 ? "-" : sprintf("%.2f", o), o < 0 ? "" : spread[s ",office"], \
           o < 0 ? "-" : sprintf("%.2f", cpus[s ",office"]), \
           o < 0 ? "-" : sprintf("%.0f", peaks[s ",office"]), \
           (q > 0 && o > 0) ? sprintf("%.2fx", o / q) : "-", \
           (q > 0 && o > 0 && cpus[s ",quillory"] > 0) ? \
               sprintf("%.2fx", cpus[s ",office"] / cpus[s ",quillory"]) : "-", \
           q * 1e6 / s, peaks[s ",quillory"] * 1e6 / s
  }
  print ""
  if ("1000000,quillory" in medians) {
    q = medians["1000000,quillory"]
    o = ("1000000,office" in medians) ? medians["1000000,office"] : 0
    printf "1M cells: %s faster than LibreOffice (target 4x, goal 5x), %s less processor time; peak %.0f MB (target: at most 400)\n", \
           (o > 0 ? sprintf("%.2fx", o / q) : "-"), \
           (o > 0 ? sprintf("%.2fx", cpus["1000000,office"] / cpus["1000000,quillory"]) : "-"), \
           peaks["1000000,quillory"]
  }
  if (("5000000,quillory" in medians) && ("1000000,quillory" in medians)) {
    printf "5M cells: peak %.0f MB (target: within 2048); 5M / 1M: %.2fx the time, %.2fx the memory (linear: 5x)\n", \
           peaks["5000000,quillory"], medians["5000000,quillory"] / medians["1000000,quillory"], \
           peaks["5000000,quillory"] / peaks["1000000,quillory"]
  }
}'
