#!/usr/bin/env bash
# The Windows programs built a second time, from a copy of the sources in
# another folder, into another build folder, by another user name and a day
# later by the clock, must equal the first build's byte for byte.
#   rebuild.sh SOURCE_DIR FIRST_BUILD_DIR [PLAYER]
set -euo pipefail
src="$1"
first="$2"
player="${3:-}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/turv-rebuild-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
copy="$scratch/another checkout"
mkdir -p "$copy"
tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -

options=(-DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release
         -DTURV_TESTS=OFF)
[ -z "$player" ] || options+=(-DTURV_PLAYER="$player")
programs=(turv karupack lumirax)

export USER=someone-else LOGNAME=someone-else
faketime -f '+1d' cmake -S "$copy" -B "$scratch/second build" "${options[@]}" >/dev/null
faketime -f '+1d' cmake --build "$scratch/second build" -j "$(nproc)" --target "${programs[@]}" \
  >/dev/null

status=0
for name in "${programs[@]}"; do
  a="$first/bin/$name.exe"
  b="$scratch/second build/bin/$name.exe"
  if cmp -s "$a" "$b"; then
    echo "$name.exe: identical ($(stat -c %s "$a") bytes, sha256 $(sha256sum <"$a" | cut -c1-16)...)"
  else
    echo "$name.exe: the second build differs; first differing bytes (position from 1, first, second; octal):"
    cmp -l "$a" "$b" | head -8 || true
    status=1
  fi
done
exit "$status"
