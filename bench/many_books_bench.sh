#!/bin/sh
# Many small workbooks: BOOKS workbooks of 310 cells each (31 rows of 10), converted by one
# quillory-cli run with backups (number words, whole workbook), the whole process timed; and, as
# the baseline in the same run, LibreOffice loading and saving OFFICE_BOOKS of the same workbooks
# in one soffice process. Each REPEATS times on fresh copies, alternating. Prints workbooks per
# second (median and spread) and the ratio, with the median time one sync of a small new file
# takes in that folder at the time (three syncs go with each workbook saved with a backup: the
# backup, the new file and the folder).
#   many_books_bench.sh QUILLORY_CLI WORKBOOK_MAKER SYNC_PROBE
# Then where the time of one workbook goes, from one run of each: opening and converting (a dry
# run), writing the new file and the backup (a run in a folder in memory, /dev/shm, where a sync
# costs nothing), and the syncs (the rest).
# Environment: BOOKS (1000), OFFICE_BOOKS (200), REPEATS (3), BENCH_DIR (a new folder under
# $TMPDIR: the folder the workbooks are in, on the disk to measure), MEMORY_DIR (/dev/shm; empty:
# no breakdown).
set -eu

cli=$1
maker=$2
probe=$3
books=${BOOKS:-1000}
office_books=${OFFICE_BOOKS:-200}
repeats=${REPEATS:-3}
work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/quillory-many-XXXXXX")
trap 'rm -rf "$work"' EXIT
command -v soffice >/dev/null 2>&1 || office_books=0

"$maker" "$work/book.xlsx" 30 10
profile="-env:UserInstallation=file://$work/profile"
if [ "$office_books" -gt 0 ]; then
  soffice "$profile" --headless --convert-to xlsx --outdir "$work/warm" "$work/book.xlsx" \
    >/dev/null 2>&1 || true
fi

# Fresh copies of the workbook: `folder` holding `count` of them.
copies() {
  rm -rf "$1"
  mkdir -p "$1"
  n=1
  while [ "$n" -le "$2" ]; do
    cp "$work/book.xlsx" "$1/book$n.xlsx"
    n=$((n + 1))
  done
  sync
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $repeats runs per figure"
: >"$work/results"
i=0
while [ "$i" -lt "$repeats" ]; do
  copies "$work/ours" "$books"
  echo "sync $("$probe" "$work/ours")" >>"$work/results"
  /usr/bin/time -f '%e' -o "$work/time" "$cli" convert --yes "$work"/ours/*.xlsx \
    >/dev/null 2>"$work/err"
  grep -q '^Done\.$' "$work/err" || { tail -5 "$work/err" >&2; exit 1; }
  backups=$(ls "$work/ours" | grep -c ' Backup ')
  [ "$backups" -eq "$books" ] || { echo "$backups backups for $books workbooks" >&2; exit 1; }
  echo "quillory $(cat "$work/time") $books" >>"$work/results"
  if [ "$office_books" -gt 0 ]; then
    copies "$work/office" "$office_books"
    rm -rf "$work/out"
    /usr/bin/time -f '%e' -o "$work/time" soffice "$profile" --headless --convert-to xlsx \
      --outdir "$work/out" "$work"/office/*.xlsx >/dev/null 2>&1
    [ "$(ls "$work/out" | wc -l)" -eq "$office_books" ] || { echo "LibreOffice failed" >&2; exit 1; }
    echo "office $(cat "$work/time") $office_books" >>"$work/results"
  fi
  i=$((i + 1))
done

# One run over fresh copies in `folder` with the options given: "seconds" of the whole process.
timed_run() {
  folder=$1
  shift
  copies "$folder" "$books"
  /usr/bin/time -f '%e' -o "$work/time" "$cli" convert --yes "$@" "$folder"/*.xlsx \
    >/dev/null 2>"$work/err"
  grep -q '^Done\.$' "$work/err" || { tail -5 "$work/err" >&2; exit 1; }
  cat "$work/time"
}

memory_dir=${MEMORY_DIR-/dev/shm}
if [ -n "$memory_dir" ] && [ -d "$memory_dir" ] && [ -w "$memory_dir" ]; then
  memory=$(mktemp -d "$memory_dir/quillory-many-XXXXXX")
  trap 'rm -rf "$work" "$memory"' EXIT
  dry=$(timed_run "$work/ours" --dry-run) && in_memory=$(timed_run "$memory/ours") &&
    on_disk=$(timed_run "$work/ours") || exit 1
  printf 'split dry %s\nsplit memory %s\nsplit disk %s\n' "$dry" "$in_memory" "$on_disk" \
    >>"$work/results"
  rm -rf "$memory"
fi

sort -k1,1 -k2,2n "$work/results" | awk -v books_run="$books" '
function median(values, n) {
  return (n % 2) ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
}
$1 == "sync" { syncs[++s] = $2; next }
$1 == "split" { split_time[$2] = $3 * 1000 / books_run; next }
{ n[$1]++; rate[$1, n[$1]] = $3 / $2; books[$1] = $3 }
END {
  for (who in n) {
    # Rates in ascending order (the input came sorted by time, so they are descending).
    for (k = 1; k <= n[who]; k++) sorted[k] = rate[who, n[who] + 1 - k]
    medians[who] = median(sorted, n[who])
    spread[who] = sprintf(sorted[1] >= 100 ? "%.0f-%.0f" : "%.1f-%.1f", sorted[1], sorted[n[who]])
  }
  for (a = 2; a <= s; a++) {
    v = syncs[a]
    for (b = a - 1; b >= 1 && syncs[b] > v; b--) syncs[b + 1] = syncs[b]
    syncs[b + 1] = v
  }
  printf "\n%-46s %12s %12s\n", "", "workbooks/s", "spread"
  printf "%-46s %12.0f %12s\n", sprintf("quillory-cli convert, %d workbooks, backups", \
         books["quillory"]), medians["quillory"], spread["quillory"]
  if ("office" in n) {
    printf "%-46s %12.1f %12s\n", sprintf("LibreOffice load + save, %d workbooks", \
           books["office"]), medians["office"], spread["office"]
    printf "quillory / LibreOffice: %.1fx\n", medians["quillory"] / medians["office"]
  }
  printf "target: at least 200 workbooks/s; one sync of a small file took %.2f ms (median)\n", \
         median(syncs, s)
  if (("dry" in split_time) && ("memory" in split_time) && ("disk" in split_time)) {
    printf "\nwhere the time of one workbook goes (one run each, ms per workbook):\n"
    printf "  %-52s %6.2f\n", "opening, converting, closing (a dry run)", split_time["dry"]
    printf "  %-52s %6.2f\n", "writing the new file and the backup (in memory - dry)", \
           split_time["memory"] - split_time["dry"]
    printf "  %-52s %6.2f\n", "waiting for syncs (on disk - in memory)", \
           split_time["disk"] - split_time["memory"]
    printf "  %-52s %6.2f\n", "in all, on disk", split_time["disk"]
  }
}'
