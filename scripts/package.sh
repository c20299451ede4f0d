#!/usr/bin/env bash
# Builds the Debian package dist/quillory_VERSION_ARCH.deb: installs what it needs (as root, like
# the other scripts), builds the "package" preset with Debian's hardening flags, installs it into
# a staging tree and packs that with dpkg-deb. Install it with
#   apt-get install ./dist/quillory_VERSION_ARCH.deb
#
# Depends are computed from the binaries by dpkg-shlibdeps, plus the Qt SVG plugins the window
# loads at run time and libnumbertext's language data, which the library reads at run time. LibreOffice is a Recommends, not a Depends: the xlsx family needs nothing of
# it, and only .xls/.xlt/.ods/.ots workbooks go through it; apt installs Recommends by default,
# and without LibreOffice those workbooks fail with a message naming the package to install.
# The LibreOffice plugin links LibreOffice's UNO libraries; those are left out of the computed
# Depends, since they are of use only beside LibreOffice, whose packages bring them.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022

scripts/setup.sh --packages package

# Debian's hardening flags (CMake reads CFLAGS, CXXFLAGS and LDFLAGS; CPPFLAGS go with them).
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake --preset package --fresh >/dev/null
cmake --build --preset package -j "$(nproc)"

build=build/package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
[ -n "$version" ] || { echo "package.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }
grep -q '^QUILLORY_LIBREOFFICE_PLUGIN:INTERNAL=ON' "$build/CMakeCache.txt" ||
  { echo "package.sh: the LibreOffice plugin was not built (libreoffice-dev missing?)" >&2; exit 1; }

# The staging tree lies where dpkg-shlibdeps expects a package's files: debian/quillory.
work=$build/deb
root=$work/debian/quillory
rm -rf "$work"
mkdir -p "$root/DEBIAN"
DESTDIR="$PWD/$root" cmake --install "$build" --strip >/dev/null
gzip -9n "$root"/usr/share/man/man1/*.1
chmod 0644 "$root"/usr/lib/quillory/*.so  # a loaded library, not a program

printf 'Source: quillory\n\nPackage: quillory\nArchitecture: any\n' >"$work/debian/control"
uno_packages=(libuno-cppu3 libuno-sal3 libuno-cppuhelpergcc3-3 libuno-salhelpergcc3-3 uno-libs-private)
shlibs=$(cd "$work" && dpkg-shlibdeps -O "${uno_packages[@]/#/-x}" \
           -e debian/quillory/usr/bin/quillory -e debian/quillory/usr/bin/quillory-cli \
           -e debian/quillory/usr/lib/quillory/quillory_libreoffice.so)
depends=${shlibs#shlibs:Depends=}
[ -n "$depends" ] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# The window's icons are SVG, drawn by Qt's SVG image and icon plugins.
case ", $depends" in *", libqt6svg6"*) ;; *) depends="$depends, libqt6svg6" ;; esac
# The built-in languages' words: libnumbertext reads its language data at run time.
case ", $depends" in *", libnumbertext-1.0-0"*) ;; *)
  echo "package.sh: dpkg-shlibdeps did not find libnumbertext" >&2
  exit 1
  ;;
esac
depends="$depends, libnumbertext-data"

cat >"$root/DEBIAN/control" <<EOF
Package: quillory
Version: $version
Architecture: $arch
Maintainer: Orvanta <quillory@orvanta.com>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Recommends: libreoffice-calc-nogui | libreoffice-calc, fonts-liberation2
Section: utils
Priority: optional
Homepage: https://www.orvanta.com/quillory/
Description: rewrites the numbers in spreadsheet workbooks as words
 Quillory rewrites the cells of spreadsheet workbooks as words: 1234.56 becomes
 "One Thousand Two Hundred Thirty Four Point Fifty Six", or as currency "... Dollars
 and Fifty Six Cents", or its digits become letters. Each workbook is optionally
 backed up beside itself, converted and saved in place.
 .
 The package holds the window (quillory) and the command line (quillory-cli).
 Workbooks of the xlsx family are read and written by Quillory itself; .xls, .xlt,
 .ods and .ots workbooks go through a headless LibreOffice (libreoffice-calc-nogui).
EOF
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"

mkdir -p dist
deb=dist/quillory_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
echo "Built $deb ($(du -k "$deb" | cut -f1) KB). Install it with: apt-get install ./$deb"
