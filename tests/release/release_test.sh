#!/usr/bin/env bash
# Makes the release archives from the builds at hand, checks their sums,
# unpacks each into an empty folder and packs the sample with what is
# inside: the Windows karupack.exe under Wine, the Linux karupack as it is,
# each taking the turv.exe beside it.
#   release_test.sh WIN32_BUILD LINUX_BUILD NATIVE_BUILD WORK
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
win32="$(realpath "$1")" linux="$(realpath -m "$2")" native="$(realpath -m "$3")"
work="$(realpath -m "$4")"
fail() { printf 'release test: %s\n' "$*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
TURV_WIN32_DIR="$win32" TURV_LINUX_DIR="$linux" "$here/scripts/release" --no-build -o "$work/dist"
version="$(sed -n 's/^project(turv VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")"
(cd "$work/dist" && sha256sum --quiet -c ./*.sha256) || fail "the sums do not match"

# The same commit gives the same archives: made again from a copy of the
# sources in another folder, whose files carry other times, under another
# umask, they equal the first byte for byte, sums included.
copy="$work/another checkout"
mkdir -p "$copy"
tar -C "$here" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
find "$copy" -exec touch -h -d '2001-02-03 04:05:06' {} +
(umask 077 && SOURCE_DATE_EPOCH="$(git -C "$here" log -1 --format=%ct)" TURV_WIN32_DIR="$win32" \
  TURV_LINUX_DIR="$linux" "$copy/scripts/release" --no-build -o "$work/dist-again" >/dev/null)
for file in "$work/dist"/*; do
  cmp "$file" "$work/dist-again/${file##*/}" || fail "${file##*/} differs when made again elsewhere"
done
unset TURV_LAUNCHER
info=(--info "ProductName=Farben und Formen" --info FileVersion="$version")

# Linux: karupack, static and without sanitizers, with turv.exe beside it.
# It runs on any x86-64 Linux: no program interpreter, no shared library
# (a sanitizer build would need its runtime's).
mkdir "$work/linux"
tar -xzf "$work/dist/turv-$version-linux-x86_64.tar.gz" -C "$work/linux"
cd "$work/linux/turv-$version-linux-x86_64"
[ "$(./karupack --version)" = "karupack $version" ] || fail "karupack --version: $(./karupack --version)"
if readelf -l ./karupack | grep -q INTERP; then fail "the Linux karupack needs a program interpreter"; fi
needed="$(readelf -d ./karupack | grep NEEDED || true)"
[ -z "$needed" ] || fail "the Linux karupack needs shared libraries: $needed"
./karupack pack -q -o Kurs.exe -c sample/captions.txt --icon sample/icon.ico "${info[@]}" \
  sample/slides
./karupack verify Kurs.exe >verify.txt || fail "the Linux package does not verify"
grep -q "ProductName: Farben und Formen" verify.txt || fail "the Linux package is not branded"
# The static build packs as the native build does.
"$native/bin/karupack" pack -q -l turv.exe -o native.exe -c sample/captions.txt \
  --icon sample/icon.ico "${info[@]}" sample/slides
cmp Kurs.exe native.exe || fail "the release's and the native build's karupack packed differently"

# Windows: karupack.exe with turv.exe and lumirax.exe beside it.
mkdir "$work/windows"
(cd "$work/windows" && unzip -q "$work/dist/turv-$version-windows-x86.zip")
cd "$work/windows/turv-$version-windows-x86"
wine() { "$here/scripts/wine-run" "$@" | tr -d '\r'; }
wine karupack.exe pack -q -o Kurs.exe -c 'sample\captions.txt' --icon 'sample\icon.ico' \
  "${info[@]}" 'sample\slides'
wine karupack.exe verify Kurs.exe >verify.txt || fail "the Windows package does not verify"
grep -q "ProductName: Farben und Formen" verify.txt || fail "the Windows package is not branded"
[ "$(wine karupack.exe --version)" = "karupack $version" ] || fail "karupack.exe --version"
# Both packers, one package.
cmp Kurs.exe "$work/linux/turv-$version-linux-x86_64/Kurs.exe" ||
  fail "the Linux and the Windows karupack packed the sample differently"
echo "release test: both archives unpack and pack the sample"
