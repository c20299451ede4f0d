#!/bin/sh
# Installs the build into a scratch prefix outside the build folder, as a user or a package
# would, and runs the installed programs from there: they must find the installed LibreOffice
# plugin, and the menu entry, metainfo, icon and manual pages must be where desktops and man look.
#   install_test.sh CMAKE BUILD_DIR VERSION PLUGIN_BUILT(ON|OFF) CORPUS DESKTOP_FILE_VALIDATE APPSTREAMCLI
set -eu
cmake=$1 build=$2 version=$3 plugin=$4 corpus=$5 validate_desktop=$6 appstreamcli=$7

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/usr
export XDG_CONFIG_HOME="$scratch/config"  # never the user's settings
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for file in bin/quillory bin/quillory-cli \
    share/applications/com.orvanta.quillory.desktop \
    share/metainfo/com.orvanta.quillory.metainfo.xml \
    share/icons/hicolor/scalable/apps/com.orvanta.quillory.svg \
    share/man/man1/quillory.1 share/man/man1/quillory-cli.1 \
    share/doc/quillory/README.md share/doc/quillory/CHANGELOG.md; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done

"$validate_desktop" "$prefix/share/applications/com.orvanta.quillory.desktop" ||
  fail "the desktop entry does not validate"
"$appstreamcli" validate --no-net "$prefix/share/metainfo/com.orvanta.quillory.metainfo.xml" ||
  fail "the metainfo does not validate"
grep -q "^Icon=com.orvanta.quillory$" "$prefix/share/applications/com.orvanta.quillory.desktop" ||
  fail "the desktop entry does not name the installed icon"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/com.orvanta.quillory.metainfo.xml" ||
  fail "the metainfo has no release entry for $version"

cli=$prefix/bin/quillory-cli
[ "$("$cli" --version)" = "quillory $version" ] || fail "quillory-cli --version: $("$cli" --version)"
shown=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quillory" --version 2>&1) || true
[ "$shown" = "quillory $version" ] || fail "quillory --version without a display: $shown"
words=$("$cli" words 1234.56)
[ "$words" = "One Thousand Two Hundred Thirty Four Point Fifty Six" ] || fail "words: $words"
for page in quillory quillory-cli; do
  grep -q "^\.TH .* \"quillory $version\"" "$prefix/share/man/man1/$page.1" ||
    fail "$page(1) does not carry version $version"
done
# Every command of quillory-cli --help has its entry in the manual page.
for command in $("$cli" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }'); do
  grep -q "^\.B $command\b" "$prefix/share/man/man1/quillory-cli.1" ||
    fail "quillory-cli($command) is not in the manual page"
done

if [ "$plugin" = ON ]; then
  [ -f "$prefix/lib/quillory/quillory_libreoffice.so" ] || fail "the LibreOffice plugin was not installed"
  # A legacy workbook goes through LibreOffice, so the installed plugin must be found and load.
  want=$(awk -F '\t' 'NR > 2 { print $1 "\t" $2 "\t" $3; exit }' "$corpus/expected/lo_legacy.xls.tsv")
  got=$("$cli" cells "$corpus/lo_legacy.xls" 2>"$scratch/cells.err" | head -n 1) || true
  [ "$got" = "$want" ] || fail "cells of lo_legacy.xls from the installed programs: '$got' \
(expected '$want'): $(cat "$scratch/cells.err")"
  # Without the installed plugin, the installed programs never fall back on the build folder's.
  mv "$prefix/lib/quillory" "$prefix/lib/elsewhere"
  if "$cli" cells "$corpus/lo_legacy.xls" >/dev/null 2>"$scratch/cells.err" ||
      ! grep -q "quillory_libreoffice.so was not found" "$scratch/cells.err"; then
    fail "an installed program without its plugin did not say so: $(cat "$scratch/cells.err")"
  fi
fi

[ $failed = 0 ] && echo "The installed programs and files are complete and work."
exit $failed
