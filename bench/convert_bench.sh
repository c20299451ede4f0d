#!/bin/sh
# Converts a 1,000,000-cell workbook with quillory-cli (number words, whole workbook, no backup)
# and has LibreOffice load and save the same workbook in the same run; prints the times, cells
# per second, the ratio and the peak memory of each.
#   convert_bench.sh QUILLORY_CLI WORKBOOK_MAKER [WORKBOOK.xlsx]
# Build quillory-cli with CMAKE_BUILD_TYPE=Release for figures worth quoting.
set -eu

cli=$1
maker=$2
given=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -n "$given" ]; then
  cp "$given" "$work/book.xlsx"
else
  "$maker" "$work/book.xlsx"
fi
cells=$(unzip -p "$work/book.xlsx" 'xl/worksheets/*.xml' | grep -o '<c ' | wc -l)
cp "$work/book.xlsx" "$work/office.xlsx"
mkdir -p "$work/out"

# LibreOffice gets a profile of its own, made before the timed run.
profile="-env:UserInstallation=file://$work/profile"
"$maker" "$work/warm.xlsx" 10 2
soffice "$profile" --headless --convert-to xlsx --outdir "$work/out" "$work/warm.xlsx" >/dev/null 2>&1

/usr/bin/time -f '%e %U %S %M' -o "$work/quillory.time" \
  "$cli" convert --no-backup --yes "$work/book.xlsx" >/dev/null 2>"$work/quillory.err"
grep -q '^Done\.$' "$work/quillory.err" || { cat "$work/quillory.err" >&2; exit 1; }
/usr/bin/time -f '%e %U %S %M' -o "$work/office.time" \
  soffice "$profile" --headless --convert-to xlsx --outdir "$work/out" "$work/office.xlsx" >/dev/null 2>&1
test -s "$work/out/office.xlsx"

read -r q_wall q_user q_sys q_kb < "$work/quillory.time"
read -r o_wall o_user o_sys o_kb < "$work/office.time"
awk -v cells="$cells" -v qw="$q_wall" -v qu="$q_user" -v qs="$q_sys" -v qk="$q_kb" \
    -v ow="$o_wall" -v ou="$o_user" -v os="$o_sys" -v ok="$o_kb" 'BEGIN {
  qc = qu + qs; oc = ou + os
  printf "cells: %d\n", cells
  printf "%-34s %8s %8s %12s %8s\n", "", "wall s", "cpu s", "cells/s", "peak MB"
  printf "%-34s %8.2f %8.2f %12.0f %8.0f\n", "quillory-cli convert", qw, qc, cells / qw, qk / 1024
  printf "%-34s %8.2f %8.2f %12.0f %8.0f\n", "LibreOffice load + save", ow, oc, cells / ow, ok / 1024
  printf "LibreOffice / quillory: %.2fx wall, %.2fx cpu (target 3x); peak %s 600 MB\n",
         ow / qw, oc / qc, (qk / 1024 <= 600 ? "within" : "OVER")
}'
