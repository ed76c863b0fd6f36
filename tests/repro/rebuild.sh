#!/usr/bin/env bash
# The programs of a release, built a second time from a copy of the sources
# in another folder, into other build folders, by another user name and a
# day later by the clock, must equal the first builds byte for byte: the
# Windows programs of the win32 preset and karupack of the linux preset.
#   rebuild.sh SOURCE_DIR WIN32_BUILD LINUX_BUILD [PLAYER]
set -euo pipefail
src="$1"
win32="$2"
linux="$3"
player="${4:-}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/turv-rebuild-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
copy="$scratch/another checkout"
mkdir -p "$copy"
tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -

export USER=someone-else LOGNAME=someone-else
jobs="$(nproc 2>/dev/null || echo 2)"
# configure PRESET TREE [OPTIONS...]: the copy's preset, built into TREE.
build() {
  local preset="$1" tree="$2"
  shift 2
  faketime -f '+1d' cmake -S "$copy" --preset "$preset" -B "$tree" "$@" >/dev/null
}
windows=(-DTURV_TESTS=OFF)
[ -z "$player" ] || windows+=(-DTURV_PLAYER="$player")
build win32 "$scratch/second win32" "${windows[@]}"
faketime -f '+1d' cmake --build "$scratch/second win32" -j "$jobs" --target turv karupack lumirax \
  >/dev/null
build linux "$scratch/second linux"
faketime -f '+1d' cmake --build "$scratch/second linux" -j "$jobs" --target karupack >/dev/null

status=0
compare() {
  local first="$1" second="$2" name="${1##*/}"
  if cmp -s "$first" "$second"; then
    echo "$name: identical ($(stat -c %s "$first") bytes, sha256 $(sha256sum <"$first" | cut -c1-16)...)"
  else
    echo "$name: the second build differs; first differing bytes (position from 1, first, second; octal):"
    cmp -l "$first" "$second" | head -8 || true
    status=1
  fi
}
for name in turv karupack lumirax; do
  compare "$win32/bin/$name.exe" "$scratch/second win32/bin/$name.exe"
done
compare "$linux/bin/karupack" "$scratch/second linux/bin/karupack"
exit "$status"
