#!/usr/bin/env bash
# Drives scripts/setup through a package mirror in the middle of a sync:
# apt, dpkg and the rest are stand-ins on a PATH of their own (only a few
# plain tools beside them), and the index update always fails. A call to
# anything not stood in for fails rather than reaching the system.
#   setup_test.sh SETUP WORK
set -euo pipefail
setup="$(realpath "$1")"
work="$(realpath -m "$2")"
fail() { printf 'setup test: %s\n' "$*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/bin" "$work/tmp"
for tool in awk cat grep mktemp rm sleep tail; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
standin() { printf '#!%s\n%s\n' "$BASH" "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
# Every package is installed but those in MISSING; every one has a
# candidate but those in UNKNOWN (apt-cache says nothing of them).
standin dpkg-query 'for p in $MISSING; do [ "$p" != "$3" ] || exit 1; done; printf "install ok installed"'
standin apt-cache 'for p in $UNKNOWN; do [ "$p" != "$2" ] || exit 0; done; printf "%s:\n  Candidate: 1.0-1\n" "$2"'
standin dpkg '[ "$1" = --print-foreign-architectures ] && echo i386'
standin id 'echo "$USER_ID"'
# A long list, as with every locale there is, whose reader may stop early.
standin locale 'printf "C.utf8\nja_JP.utf8\nru_RU.utf8\n"; for i in {1..20000}; do echo "xx_$i.utf8"; done'
standin apt-get 'echo "$*" >>"$APT_LOG"
case "$1" in
  update) echo "W: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (40812 != 40964). Mirror sync in progress? [IP: 192.0.2.1 80]"
          echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
          exit 100 ;;
  install) [ -z "$INSTALL_FAILS" ] && exit 0
          echo "Some packages could not be installed."
          echo "E: Unable to correct problems, you have held broken packages."
          exit 100 ;;
esac
exit 1'
echo VERSION_CODENAME=bookworm >"$work/os-release"

# run MISSING UNKNOWN INSTALL_FAILS [USER_ID]: the status, stdout, stderr
# and apt's calls; the update tried three times whenever it is tried.
run() {
  rm -f "$work/apt.log" && touch "$work/apt.log"
  status=0
  env -i PATH="$work/bin" TMPDIR="$work/tmp" TURV_SETUP_RETRY_SECONDS=0 \
    TURV_SETUP_OS_RELEASE="$work/os-release" APT_LOG="$work/apt.log" \
    MISSING="$1" UNKNOWN="$2" INSTALL_FAILS="$3" USER_ID="${4:-0}" \
    "$BASH" "$setup" >"$work/out" 2>"$work/err" || status=$?
  out="$(cat "$work/out")" err="$(cat "$work/err")" apt="$(cat "$work/apt.log")"
  [ -z "$(ls -A "$work/tmp")" ] || fail "left behind in TMPDIR: $(ls -A "$work/tmp")"
  [ -z "$apt" ] || [ "$(grep -c '^update' "$work/apt.log")" -eq 3 ] ||
    fail "the update was not tried three times: $apt"
}

# Everything there: nothing to do and nothing said, even without root.
# First, and not as root: were the locales taken for missing, the runs as
# root below would go on to /etc/locale.gen.
run "" "" "" 1000
[ "$status" -eq 0 ] && [ -z "$out$err$apt" ] || fail "not quiet with everything there: $err"

# Every missing package still has a candidate: installed from the release's
# own suite, and said so.
run "ffmpeg wine32:i386" "" ""
[ "$status" -eq 0 ] || fail "status $status with every package known: $err"
grep -qx 'install -y -qq --no-install-recommends -t bookworm wine32:i386 ffmpeg' "$work/apt.log" ||
  fail "not installed from bookworm: $apt"
[ "$out" = "setup: installed wine32:i386 ffmpeg" ] || fail "not said so: $out"

# One package has none: nothing is installed, and one line names it and
# the update's reason.
run "ffmpeg wine32:i386" "wine32:i386" ""
[ "$status" -ne 0 ] || fail "status 0 with a package unknown"
! grep -q '^install' "$work/apt.log" || fail "installed with a package unknown: $apt"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "not one line: $err"
[[ "$err" == "setup: cannot install wine32:i386: "*"Mirror sync in progress?"* ]] ||
  fail "the unknown package or the update's reason is not named: $err"

# The install fails: the last line names the packages and apt's reason.
run "ffmpeg wine32:i386" "" "yes"
[ "$status" -ne 0 ] || fail "status 0 after a failed install"
[ "${err##*$'\n'}" = "setup: could not install wine32:i386 ffmpeg: E: Unable to correct problems, you have held broken packages." ] ||
  fail "the packages or apt's reason are not named: $err"
echo "setup test: passed"
