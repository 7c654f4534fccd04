#!/usr/bin/env bash
# Checks that root, working in a clone that another user owns (a set-up
# script run with sudo), never acts through a link that user puts in the
# clone, and that install-deps leaves no temporary folder behind:
#
#   tests/scripts/privileges-check.sh      (as root; about 25 s)
#
# The clone's owner and a third user are two numeric ids that no account
# uses (nothing is added to the system); every file the check makes lies in
# one temporary folder, removed at the end. apt-get is replaced (on PATH) by
# a stand-in whose `download` hands over a small package made here, with an
# etc/reader.conf.d/vpcd of its own, as Debian's vsmartcard-vpcd has.
#   give_back_clone (scripts/privileges.sh):
#     - root's files in the clone become the owner's, a third user's file
#       does not, and neither does a folder outside that a link points to;
#     - while the owner keeps swapping a folder of the clone for a link to
#       a folder outside, that folder's files stay root's (a race: up to
#       60 rounds);
#   install-deps.sh (the vpcd driver unpacked into build-vpcd/):
#     - with build-vpcd a link to a folder outside, nothing is unpacked
#       there, and build-vpcd becomes a real folder, the owner's;
#     - while the owner keeps swapping build-vpcd for such a link, nothing is
#       unpacked outside (up to 20 runs);
#     - a failed download and a broken package leave no temporary folder,
#       neither in TMPDIR nor in the clone;
#   check_own_files (scripts/privileges.sh), run by the owner: a build
#   folder holding a file of root's stops it, the list of installed files
#   that `sudo cmake --install` leaves does not.
# The last line is `summary: N passed, N failed`.
set -u

name=privileges-check
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "$name: needs root (it checks what root does in another user's clone); skipped"
  exit 77
fi
for tool in setpriv dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "$name: $tool not found" >&2; exit 2; }
done

owner=64123  # the clone's owner
third=64124  # another user, whose file lies in the clone
passed=0
failed=0
work=$(mktemp -d)
chmod 755 "$work"
loop_pid=
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  stop_loop
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

check() {  # check OK WHAT
  if [ "$1" = 0 ]; then
    passed=$((passed + 1))
    echo "$name: $2"
  else
    failed=$((failed + 1))
    echo "$name: FAIL: $2"
  fi
}

as_owner() { setpriv --reuid=$owner --regid=$owner --clear-groups -- "$@"; }

# start_loop DIR NAME TARGET: the owner, in DIR, keeps putting NAME aside
# and a link to TARGET in its place, and back, until stop_loop (or 120 s).
start_loop() {
  rm -f "$work/stop"
  # shellcheck disable=SC2016  # the owner's own script
  as_owner bash -c '
    cd "$1" || exit 1
    end=$((SECONDS + 120))
    while [ $SECONDS -lt $end ] && [ ! -e "$4" ]; do
      mv -T "$2" aside.$$ 2>/dev/null
      ln -sn "$3" "$2" 2>/dev/null
      sleep 0.00$RANDOM
      rm -f "$2"
      mv -T aside.$$ "$2" 2>/dev/null
      sleep 0.00$RANDOM
    done' _ "$1" "$2" "$3" "$work/stop" 2>/dev/null &
  loop_pid=$!
}
stop_loop() {
  [ -n "$loop_pid" ] || return 0
  touch "$work/stop"
  wait "$loop_pid" 2>/dev/null
  loop_pid=
}

# new_clone NAME: a clone of the owner's with the set-up scripts, printed.
new_clone() {
  local clone=$work/$1
  mkdir -p "$clone/scripts"
  cp "$here/scripts/privileges.sh" "$here/scripts/install-deps.sh" "$here/scripts/vpcd-driver.sh" "$clone/scripts/"
  chown -R $owner:$owner "$clone"
  echo "$clone"
}

# outside NAME: a folder of root's outside every clone, with files f1 to f200.
outside() {
  local dir=$work/$1
  mkdir -p "$dir"
  for i in $(seq 200); do : >"$dir/f$i"; done
  echo "$dir"
}

# not_root_owned DIR: how many files in DIR are not root's.
not_root_owned() { find "$1" ! -user 0 | wc -l; }

# --- give_back_clone ------------------------------------------------------------
# shellcheck source-path=SCRIPTDIR source=../../scripts/privileges.sh
. "$here/scripts/privileges.sh"

clone=$(new_clone gb)
out=$(outside gb-outside)
mkdir -p "$clone/build-test/a/b"
: >"$clone/build-test/a/b/made-by-root"
: >"$clone/build-test/theirs"
chown $third:$third "$clone/build-test/theirs"
ln -s "$out" "$clone/build-test/link"
give_back_clone "$clone" 2>/dev/null
ok=0
[ -z "$(find "$clone" -user 0)" ] || ok=1
check $ok "give_back_clone: every file root made in the clone (folders, a file, a link) is the owner's"
ok=0
[ "$(stat -c %u "$clone/build-test/theirs")" = $third ] || ok=1
check $ok "give_back_clone: a third user's file in the clone stays theirs"
ok=0
[ "$(not_root_owned "$out")" = 0 ] || ok=1
check $ok "give_back_clone: a folder outside the clone that a link points to stays root's"

# The race: root's files in build-test/sub, which the owner keeps swapping
# for a link to a folder outside whose files have the same names.
out=$(outside gb-race-outside)
mkdir -p "$clone/build-test/sub"
for i in $(seq 200); do : >"$clone/build-test/sub/f$i"; done
start_loop "$clone/build-test" sub "$out"
rounds=0
while [ $rounds -lt 60 ] && [ "$(not_root_owned "$out")" = 0 ]; do
  rounds=$((rounds + 1))
  # root's files again, as another run with sudo would leave them (chown
  # from within the folder, not through the link)
  (cd "$clone/build-test" && find . -mindepth 1 -user $owner -exec chown -h 0:0 {} + 2>/dev/null)
  give_back_clone "$clone" 2>/dev/null
done
stop_loop
changed=$(not_root_owned "$out")
ok=0
[ "$changed" = 0 ] || ok=1
check $ok "give_back_clone: with a folder of the clone swapped for a link again and again, no file outside changes owner ($rounds rounds, $changed changed)"

# --- check_own_files ------------------------------------------------------------
# The owner's demo and test command stop at their start on a build folder
# that holds a file of root's, naming it, but not on the list of installed
# files that `sudo cmake --install build` leaves there.
clone=$(new_clone own)
mkdir -p "$clone/build"
chown $owner:$owner "$clone/build"
: >"$clone/build/install_manifest.txt"
# own_files: check_own_files run by the owner on the clone's build folder.
# shellcheck disable=SC2016  # the owner's own script, with its own arguments
own_files() { as_owner bash -c '. "$1/scripts/privileges.sh"; check_own_files "$1" build' _ "$clone"; }
ok=0
own_files 2>/dev/null || ok=1
check $ok "check_own_files: a build folder whose one file of root's is install_manifest.txt goes on"
: >"$clone/build/made-by-root"
ok=0
if said=$(own_files 2>&1); then
  ok=1
else
  case $said in *"$clone/build/made-by-root"*) ;; *) ok=1 ;; esac
fi
check $ok "check_own_files: any other file of root's in a build folder stops it, named"

# --- install-deps: the vpcd driver --------------------------------------------------------
if [ -e /usr/lib/pcsc/drivers/serial/libifdvpcd.so ]; then
  echo "$name: the system has a vpcd driver: install-deps would unpack none; its checks are skipped"
else
  # The package that the stand-in apt-get downloads.
  pkg=$work/pkg
  mkdir -p "$pkg/DEBIAN" "$pkg/etc/reader.conf.d" "$pkg/usr/lib/pcsc/drivers/serial"
  printf 'Package: vsmartcard-vpcd\nVersion: 1\nArchitecture: all\nMaintainer: check <check@localhost>\nDescription: stand-in\n' \
    >"$pkg/DEBIAN/control"
  echo "LIBPATH /usr/lib/pcsc/drivers/serial/libifdvpcd.so" >"$pkg/etc/reader.conf.d/vpcd"
  : >"$pkg/usr/lib/pcsc/drivers/serial/libifdvpcd.so"
  dpkg-deb -b --root-owner-group "$pkg" "$work/vsmartcard-vpcd_1_all.deb" >/dev/null
  echo broken >"$work/broken.deb"
  mkdir -p "$work/bin"
  # shellcheck disable=SC2016  # the stand-in's own script
  printf '#!/bin/sh\n# apt-get stand-in: download hands over $QUILLON_CHECK_DEB, or fails\nfor a; do [ "$a" = download ] || continue\n  [ -n "$QUILLON_CHECK_DEB" ] || { echo "E: no package" >&2; exit 100; }\n  exec cp "$QUILLON_CHECK_DEB" vsmartcard-vpcd_1_all.deb\ndone\nexit 0\n' \
    >"$work/bin/apt-get"
  chmod 755 "$work/bin/apt-get"
  mkdir -m 1777 "$work/tmp"

  # install_deps CLONE DEB: the clone's install-deps.sh as root, with the stand-in.
  install_deps() {
    env -u VPCD_DRIVER PATH="$work/bin:$PATH" TMPDIR="$work/tmp" QUILLON_CHECK_DEB="$2" \
      "$1/scripts/install-deps.sh" >"$work/install-deps.out" 2>&1 </dev/null
  }

  clone=$(new_clone id)
  out=$work/id-outside
  mkdir "$out"
  ln -s "$out" "$clone/build-vpcd"
  chown -h $owner:$owner "$clone/build-vpcd"
  install_deps "$clone" "$work/vsmartcard-vpcd_1_all.deb"
  status=$?
  ok=0
  [ "$status" = 0 ] && [ -z "$(ls -A "$out")" ] && [ ! -L "$clone/build-vpcd" ] &&
    [ -f "$clone/build-vpcd/usr/lib/pcsc/drivers/serial/libifdvpcd.so" ] || ok=1
  [ "$ok" = 0 ] || cat "$work/install-deps.out"
  check $ok "install-deps: build-vpcd a link to a folder outside: nothing unpacked there, build-vpcd is a real folder (status $status)"
  ok=0
  [ -z "$(find "$clone" ! -user $owner)" ] || ok=1
  check $ok "install-deps: every file in the clone is the owner's"

  out=$work/id-race-outside
  mkdir "$out"
  start_loop "$clone" build-vpcd "$out"
  runs=0
  while [ $runs -lt 20 ] && [ -z "$(ls -A "$out")" ]; do
    runs=$((runs + 1))
    as_owner rm -rf "$clone/build-vpcd" 2>/dev/null
    install_deps "$clone" "$work/vsmartcard-vpcd_1_all.deb"
  done
  stop_loop
  ok=0
  [ -z "$(ls -A "$out")" ] || ok=1
  check $ok "install-deps: with build-vpcd swapped for a link again and again, nothing is unpacked outside ($runs runs)"

  clone=$(new_clone id-fail)
  for deb in "" "$work/broken.deb"; do
    what="a failed download"
    [ -z "$deb" ] || what="a broken package"
    install_deps "$clone" "$deb"
    status=$?
    left=$({ ls -A "$work/tmp"; cd "$clone" && ls -d build-vpcd* 2>/dev/null; } | tr '\n' ' ')
    left=${left% }
    ok=0
    [ "$status" != 0 ] && [ -z "$left" ] || ok=1
    check $ok "install-deps: $what fails (status $status) and leaves no temporary folder${left:+ (left: $left)}"
  done
fi

echo "summary: $passed passed, $failed failed"
[ "$failed" = 0 ]
