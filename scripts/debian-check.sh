#!/usr/bin/env bash
# Runs the README's two set-up commands, scripts/demo.sh and then
# scripts/test.sh, in a fresh minimal Debian system of another release, as an
# ordinary user with sudo would on a machine whose own PC/SC service runs:
#
#   scripts/debian-check.sh [SUITE] [--demo-only]     (as root)
#
# SUITE is a Debian suite, default trixie (Debian 13). With --demo-only the
# test command is left out (the demo and its checks only).
#
# The steps:
#   - a minimal system of SUITE (`debootstrap --variant=minbase`, from the
#     mirror of this machine's own apt sources) is kept as a pristine base in
#     the cache folder, made anew when it is a week old; each run works on a
#     copy of it, removed at the end;
#   - the copy's packages downloaded are kept in the cache folder too, so
#     that a later run downloads only what changed;
#   - in the copy, as root: pcscd, python3, git and sudo are installed; an
#     ordinary user, quser, is made (useradd -m) with passwordless sudo, and
#     the system's pcscd is started as its service starts it (with the system
#     bus and polkit where the release's pcscd uses them: polkit then
#     refuses quser, who has no local session, as it refuses a login over
#     SSH); the service's readers are listed as root;
#   - as quser (runuser, the PATH of an ordinary user's login, no standard
#     input): the commit checked out here (HEAD; changes not committed are
#     not taken) is cloned into "~/My Cards+ü/quillon" and, for the test
#     command, from there into "/tmp/My Cards+ü/quillon-quser", which shows
#     that a clone under /tmp works too, and that both work in a folder
#     whose name holds a space, a '+' and a non-ASCII letter;
#     `scripts/demo.sh` runs in the first and `scripts/test.sh` in the
#     second. Between the two (not with --demo-only), the README's
#     "Building from source" steps are run in the demo's clone as the user
#     types them after the demo: its shell blocks, one after the other, with
#     apt's question answered yes.
# The checks, each counted in the summary:
#   - the service and quser: on a release whose pcscd uses polkit,
#     `scripts/readers.py card` run as quser says that the service refuses
#     quser, and so does the demo; on one without, the service answers quser
#     (no reader);
#   - the demo prints the virtual card's report (its three blocks);
#   - the README's build-from-source steps end with CTest's line for every
#     test passed (none found is a failure: the tests must be built);
#   - the test command ends with `summary: N passed, 0 failed` (its own
#     counts are added to this script's);
#   - after each command, every file in its clone belongs to quser;
#   - the system's pcscd lists the same readers as before the commands after
#     each of them, and after a restart as well (it reads
#     /etc/reader.conf.d/ when it starts);
#   - the way into the copy: trixie and later are entered with pivot_root,
#     so that quser can make user namespaces there (the private PC/SC stacks
#     run in one, with no root); older suites with chroot, where the kernel
#     refuses them, so that the commands take their sudo way. Whether quser
#     can make a user namespace there is checked against the way taken, and
#     the commands' lines that say which way they took are shown.
# Everything runs in private mount and PID namespaces, debootstrap too: what
# is mounted into the base it makes or into the copy (/proc, /sys, /dev, the
# package cache) and every process started there end with this script, or
# with debootstrap, however it ends; none of it is ever mounted in the
# machine's own mount namespace. The logs are written in the cache folder
# and, at the end, copied into build-debian-SUITE/ of this clone by the
# clone's owner (so that root writes nothing there). The last line is
# `summary: N passed, N failed`.
#
# Cache folder: $QUILLON_DEBIAN_CHECK_CACHE, default /var/cache/quillon-debian-check.
# Mirror: $QUILLON_DEBIAN_MIRROR, default the one of this machine's apt sources.
# Needs root, debootstrap, git, unshare (util-linux) and a network that
# reaches the mirror.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
suite=trixie
demo_only=0
for arg in "$@"; do
  case $arg in
    --demo-only) demo_only=1 ;;
    -*) echo "debian-check: unknown option '$arg' (usage: debian-check.sh [SUITE] [--demo-only])" >&2; exit 2 ;;
    *) suite=$arg ;;
  esac
done
case $suite in ''|*[!a-z]*) echo "debian-check: bad suite name '$suite'" >&2; exit 2 ;; esac
cache=${QUILLON_DEBIAN_CHECK_CACHE:-/var/cache/quillon-debian-check}
# The logs as the run writes them (root's), and where they end up.
logs=$cache/$suite.logs
logs_dest=$root/build-debian-$suite
base=$cache/$suite.base
copy=$cache/$suite.copy
debs=$cache/$suite.debs

# How the copy is entered. With chroot, the kernel refuses user namespaces
# to every process in it (CLONE_NEWUSER from a chrooted process); with
# pivot_root in the private mount namespace the copy is that namespace's
# root and they work as on a machine of its own.
case $suite in
  buster|bullseye|bookworm) entry=chroot ;;
  *) entry=pivot_root ;;
esac

# shellcheck source-path=SCRIPTDIR source=check-output.sh
. "$root/scripts/check-output.sh"
# shellcheck source-path=SCRIPTDIR source=privileges.sh
. "$root/scripts/privileges.sh"
check_name="debian-check $suite"

# The limits of the two commands in the copy: a first run downloads and
# installs every package there.
demo_limit=1200
test_limit=3000

passed=0
failed=0
copy_made=0
# publish_logs: the logs go into the clone, unpacked there by the clone's
# owner from root's copy, and leave the cache folder.
publish_logs() {
  # shellcheck disable=SC2016  # the inline script's own arguments
  if (cd "$logs" && tar -cf - .) |
    as_clone_owner "$root" bash -c 'rm -rf -- "$1" && mkdir -- "$1" && tar -C "$1" -xf -' _ "$logs_dest"; then
    rm -rf -- "$logs"
  else
    echo "$check_name: the logs could not be copied into $logs_dest; they stay in $logs" >&2
    return 1
  fi
}
# finish STATUS: the copy goes, the logs go into the clone, and the summary
# is the last line.
finish() {
  local status=$1
  if [ "$copy_made" = 1 ]; then remove_copy || status=1; fi
  note "done in $((SECONDS - start)) s"
  if [ -d "$logs" ]; then publish_logs || status=1; fi
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
  echo "summary: $passed passed, $failed failed"
  exit "$status"
}

[ "$(id -u)" = 0 ] || fail "needs root (debootstrap, chroot, namespaces)"
for tool in debootstrap git unshare chroot pivot_root; do
  command -v "$tool" >/dev/null || fail "$tool not found (Debian: apt-get install debootstrap git util-linux)"
done
start=$SECONDS
trap 'finish $?' EXIT

mkdir -p "$cache" "$debs/partial"
# One run of a suite at a time: they share the base, the copy's folder and
# the package cache (apt's lock on it means nothing across namespaces).
exec 9>"$cache/$suite.lock"
flock -n 9 || { note "waiting for another run of this check to end"; flock 9; }
rm -rf "$logs"
mkdir -p "$logs"

# --- The pristine base ----------------------------------------------------------
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
# shellcheck disable=SC2016  # $(RELEASE) and $(REPO_URI) are apt's fields, not the shell's
mirror=${QUILLON_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 2>/dev/null |
  awk -v release="$codename" '$1 == release { print $2; exit }')}
[ -n "$mirror" ] || fail "no Debian mirror in this machine's apt sources for '$codename' (set QUILLON_DEBIAN_MIRROR)"
if [ -f "$base/.quillon-base" ] && [ -z "$(find "$base/.quillon-base" -mtime +6)" ]; then
  note "base: $base (made $(cat "$base/.quillon-base"))"
else
  note "base: making a minimal $suite system from $mirror"
  rm -rf --one-file-system "$base.new"
  # debootstrap mounts /proc and /sys in the system it makes: in a mount
  # namespace of its own they go with it, even when it is killed mid-way.
  unshare --mount --propagation private --pid --fork --kill-child --mount-proc \
    debootstrap --variant=minbase "$suite" "$base.new" "$mirror" >"$logs/debootstrap.log" 2>&1 ||
    { tail -n 30 "$logs/debootstrap.log" >&2; fail "debootstrap of $suite failed"; }
  date -u '+%Y-%m-%d %H:%M UTC' >"$base.new/.quillon-base"
  rm -rf --one-file-system "$base"
  mv "$base.new" "$base"
  note "base made in $((SECONDS - start)) s"
fi

# --- The copy -------------------------------------------------------------------------
# remove_copy: the copy goes, once nothing is mounted in it any more (the
# namespace that mounted anything there has ended).
remove_copy() {
  if [ -d "$copy" ]; then
    if awk -v d="$copy" '$5 == d || index($5, d "/") == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
      echo "$check_name: something is still mounted in $copy; left in place" >&2
      return 1
    fi
    rm -rf --one-file-system "$copy"
  fi
}
remove_copy || fail "cannot remove the copy of an earlier run"
copy_made=1
cp -a "$base" "$copy"
commit=$(git -C "$root" rev-parse HEAD)
# root's clone, from which the checks list the service's readers, and a
# bundle of the commit for quser to clone from (a bundle, as git refuses to
# clone another user's folder). The clone copies its objects rather than
# link them: what the copy does to its files never reaches this clone's.
git clone -q --no-hardlinks "$root" "$copy/root/quillon"
git -C "$copy/root/quillon" checkout -q "$commit"
git -C "$copy/root/quillon" bundle create -q "$copy/var/tmp/quillon.bundle" HEAD
chmod 644 "$copy/var/tmp/quillon.bundle"
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  note "the clone has changes not committed: the copy checks commit $commit without them"
fi
note "copy of $(cat "$copy/etc/debian_version") at $commit, entered with $entry"

# The script that runs in the copy, as root.
cat >"$copy/root/debian-check-inner.sh" <<'INNER'
set -u
out=/root/check
mkdir -p "$out"
export DEBIAN_FRONTEND=noninteractive
user=quser
home=/home/$user
# The clones: the demo's under the user's home, the test command's under
# /tmp, each in a folder whose name holds a space, a '+' and a non-ASCII
# letter.
folder="My Cards+ü"
demo_clone="$home/$folder/quillon"
test_clone="/tmp/$folder/quillon-$user"

# as_user COMMAND...: COMMAND as the user, with the environment of an
# ordinary user's login (its PATH has no sbin folder) and no standard input.
as_user() {
  runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
    LANG=C.UTF-8 TERM=dumb CI="${CI:-}" PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games \
    "$@" </dev/null
}

# start_service: the system's pcscd as its service runs it (less
# --auto-exit, with which systemd's socket would start it again), with the
# system bus and polkit before it when the release's pcscd asks polkit.
start_service() {
  local args=
  # shellcheck disable=SC1091
  [ -r /etc/default/pcscd ] && . /etc/default/pcscd && args=${PCSCD_ARGS:-}
  if [ -x /usr/lib/polkit-1/polkitd ] && [ ! -S /run/dbus/system_bus_socket ]; then
    mkdir -p /run/dbus
    dbus-daemon --system --fork
    /usr/lib/polkit-1/polkitd --no-debug >>"$out/polkitd.log" 2>&1 &
    sleep 1
  fi
  # shellcheck disable=SC2086  # the service's arguments, word by word as systemd splits them
  pcscd --foreground $args >>"$out/pcscd.log" 2>&1 &
  echo $! >"$out/pcscd.pid"
  for _ in $(seq 100); do
    [ -S /run/pcscd/pcscd.comm ] && return 0
    sleep 0.1
  done
  echo "the system's pcscd did not start" >&2
  return 1
}

stop_service() {
  local pid
  pid=$(cat "$out/pcscd.pid")
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
}

# readers NAME: the service's readers as root sees them, one a line, into
# $out/readers.NAME (from root's own clone, which nothing else uses).
readers() {
  (cd /root/quillon && python3 scripts/readers.py list) >"$out/readers.$1" 2>&1 ||
    echo "(failed)" >>"$out/readers.$1"
}

# foreign NAME CLONE: the files in CLONE that are not the user's, into $out/foreign.NAME.
foreign() {
  find "$2" ! -user "$user" >"$out/foreign.$1" 2>&1
}

# run_timed NAME LIMIT CLONE COMMAND: COMMAND as the user in CLONE, its
# output in $out/NAME.out, its status and time in $out/NAME.status and
# $out/NAME.time.
run_timed() {
  local name=$1 limit=$2 clone=$3 status=0 began=$SECONDS
  shift 3
  (cd "$clone" && as_user timeout "$limit" "$@") >"$out/$name.out" 2>&1 || status=$?
  echo "$status" >"$out/$name.status"
  echo $((SECONDS - began)) >"$out/$name.time"
}

case ${1:-} in
  setup)
    { apt-get -q update && apt-get -q install -y --no-install-recommends pcscd python3 git sudo; } \
      >"$out/setup.log" 2>&1 || exit 1
    if [ -x /usr/lib/polkit-1/polkitd ]; then echo yes; else echo no; fi >"$out/polkit"
    useradd -m -s /bin/bash "$user" >>"$out/setup.log" 2>&1 || exit 1
    echo "$user ALL=(ALL:ALL) NOPASSWD: ALL" >/etc/sudoers.d/"$user"
    chmod 440 /etc/sudoers.d/"$user"
    # sudo looks the machine's name up; a real system has it in /etc/hosts.
    grep -qw "$(hostname)" /etc/hosts 2>/dev/null || echo "127.0.1.1 $(hostname)" >>/etc/hosts
    as_user git -c advice.detachedHead=false clone -q /var/tmp/quillon.bundle "$demo_clone" >>"$out/setup.log" 2>&1 &&
      as_user git -c advice.detachedHead=false clone -q "$demo_clone" "$test_clone" >>"$out/setup.log" 2>&1 || exit 1
    # Whether the user can make a user namespace here (the kernel refuses
    # it to a chrooted process).
    if msg=$(as_user unshare --user --map-root-user true 2>&1); then
      echo yes >"$out/userns"
    else
      echo "no: $msg" >"$out/userns"
    fi
    start_service || exit 1
    readers before
    # The service as the user sees it, through the demo's own look for a card.
    (cd "$demo_clone" && as_user python3 scripts/readers.py card) >"$out/user-card" 2>&1
    echo "status $?" >>"$out/user-card"
    ;;
  demo)
    run_timed demo "$2" "$demo_clone" scripts/demo.sh
    readers after-demo
    foreign demo "$demo_clone"
    ;;
  readme)
    # The shell blocks of the README's "Building from source" section.
    awk '/^## Building from source/ { on = 1; next } on && /^## / { exit }
         on && /^```sh$/ { code = 1; next } code && /^```$/ { code = 0; next } code' \
      "$demo_clone/README.md" >/var/tmp/readme-steps.sh
    chmod 644 /var/tmp/readme-steps.sh
    cp /var/tmp/readme-steps.sh "$out/readme-steps.sh"
    # The user answers apt's "Do you want to continue?" with yes.
    echo 'APT::Get::Assume-Yes "true";' >/etc/apt/apt.conf.d/90quillon-check
    run_timed readme "$2" "$demo_clone" bash -e /var/tmp/readme-steps.sh
    rm -f /etc/apt/apt.conf.d/90quillon-check
    foreign readme "$demo_clone"
    ;;
  test)
    run_timed test "$2" "$test_clone" scripts/test.sh
    readers after-test
    foreign test "$test_clone"
    ;;
  restart)
    stop_service
    start_service || exit 1
    readers after-restart
    ;;
esac
INNER

# --- In the copy ------------------------------------------------------------------------
# Everything below runs in new mount and PID namespaces; the copy's root is
# made a mount point of its own, which pivot_root needs, and without which
# the private mounts of the commands run there (unshare -m) could not be made.
commands="the demo and the test command"
[ "$demo_only" = 0 ] || commands="the demo only"
note "running $commands in the copy as an ordinary user (logs: $logs_dest)"
run_start=$SECONDS
unshare --mount --propagation private --pid --fork --kill-child \
  bash -s "$copy" "$debs" "$entry" "$demo_only" "$demo_limit" "$test_limit" \
  >"$logs/namespace.log" 2>&1 <<'OUTER' || true
set -u
copy=$1 debs=$2 entry=$3 demo_only=$4 demo_limit=$5 test_limit=$6
mount --bind "$copy" "$copy"
mount -t proc proc "$copy/proc"
mount --rbind /sys "$copy/sys"
mount --rbind /dev "$copy/dev"
mount --bind "$debs" "$copy/var/cache/apt/archives"
cp -L /etc/resolv.conf "$copy/etc/resolv.conf"
if [ "$entry" = pivot_root ]; then
  # The copy becomes this namespace's root; the machine's root, put aside
  # under it, is let go.
  mkdir -p "$copy/.old-root"
  cd "$copy" || exit 1
  pivot_root . .old-root || exit 1
  cd / || exit 1
  umount -l /.old-root || exit 1
  rmdir /.old-root
  enter() { "$@"; }
else
  enter() { chroot "$copy" "$@"; }
fi
inner() {
  enter /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash /root/debian-check-inner.sh "$@"
}
inner setup || exit 1
inner demo "$demo_limit"
[ "$demo_only" = 1 ] || inner readme "$demo_limit"
[ "$demo_only" = 1 ] || inner test "$test_limit"
inner restart
OUTER
# The logs are copied, not their owners (the copy's users are not this machine's).
cp -R "$copy/root/check/." "$logs/" 2>/dev/null || true
note "the commands ran in $((SECONDS - run_start)) s"

# --- The checks ---------------------------------------------------------------------------
[ -f "$logs/readers.before" ] || { cat "$logs/namespace.log" "$logs/setup.log" >&2 2>/dev/null
  fail "the copy's user, clones or pcscd were not set up (logs in $logs_dest)"; }
grep -qx '(failed)' "$logs/readers.before" &&
  { cat "$logs/readers.before" >&2; fail "the copy's pcscd does not answer before the commands"; }
note "the system's pcscd lists $(grep -c . "$logs/readers.before" || true) reader(s) before the commands"
polkit=$(cat "$logs/polkit")

# check OK WHAT: counts one check, passed when OK is 0.
check() {
  if [ "$1" = 0 ]; then
    passed=$((passed + 1))
    note "$2"
  else
    failed=$((failed + 1))
    note "FAIL: $2"
  fi
}

# The way into the copy: user namespaces for the user with pivot_root, none with chroot.
userns=$(cat "$logs/userns")
if [ "$entry" = pivot_root ]; then
  ok=0; [ "$userns" = yes ] || ok=1
  check $ok "entered with pivot_root: quser can make user namespaces ($userns)"
else
  ok=0; [ "$userns" != yes ] || ok=1
  check $ok "entered with chroot: the kernel refuses quser user namespaces ($userns)"
fi

# The service and the user: refused by polkit where pcscd uses it, answered otherwise.
user_card=$(head -n 1 "$logs/user-card")
demo_why=$(grep -a '^(no card to scan: ' "$logs/demo.out" 2>/dev/null | head -n 1 || true)
if [ "$polkit" = yes ]; then
  ok=0; [[ $user_card == "the PC/SC service refuses user quser"* ]] || ok=1
  check $ok "polkit: readers.py card as quser says: $user_card"
  ok=0; [[ $demo_why == "(no card to scan: the PC/SC service refuses user quser"* ]] || ok=1
  check $ok "polkit: the demo says: ${demo_why:-(no such line)}"
else
  ok=0; [ "$user_card" = "no reader" ] || ok=1
  check $ok "no polkit: readers.py card as quser says: $user_card"
  ok=0; [[ $demo_why == "(no card to scan: no reader;"* ]] || ok=1
  check $ok "no polkit: the demo says: ${demo_why:-(no such line)}"
fi

# The demo: the virtual card's report, its three blocks.
status=$(cat "$logs/demo.status" 2>/dev/null || echo none)
found=$(grep -a '^found AID:' "$logs/demo.out" 2>/dev/null | tr -d '\r' | tr '\n' ' ' || true)
expected="found AID:   '315041592E5359532E4444463031' found AID:   'A0000000031010' found AID:   'D27600012401' "
if [ "$status" = 0 ] && [ "$found" = "$expected" ]; then
  check 0 "demo: the virtual card's report, 3 blocks, in $(cat "$logs/demo.time") s"
else
  tail -n 40 "$logs/demo.out" >&2 2>/dev/null || true
  check 1 "demo: status $status, not the virtual card's three blocks"
fi

# owned_by_user NAME CLONE: no file in CLONE belongs to anyone but quser after command NAME.
owned_by_user() {
  local list=$logs/foreign.$1 count
  count=$(grep -c . "$list" 2>/dev/null || true)
  if [ -f "$list" ] && [ "$count" = 0 ]; then
    check 0 "$1: every file in $2 belongs to quser"
  else
    head -n 10 "$list" >&2 2>/dev/null || true
    check 1 "$1: ${count:-?} file(s) in $2 belong to others (all in $logs_dest/foreign.$1)"
  fi
}
demo_clone="/home/quser/My Cards+ü/quillon"
test_clone="/tmp/My Cards+ü/quillon-quser"
owned_by_user demo "$demo_clone"

# same_readers WHEN: the system's pcscd lists what it listed before.
same_readers() {
  if cmp -s "$logs/readers.before" "$logs/readers.$1"; then
    return 0
  fi
  echo "before:" >&2; cat "$logs/readers.before" >&2
  echo "$1:" >&2; cat "$logs/readers.$1" >&2 2>/dev/null || echo "(none taken)" >&2
  return 1
}
ok=0; same_readers after-demo || ok=1
check $ok "the system's pcscd lists the same readers after the demo"

# ways NAME: the lines in which command NAME says which way it ran the
# private PC/SC stacks (a user namespace, or sudo).
ways() {
  grep -a -i -E 'user namespace|through sudo' "$logs/$1.out" 2>/dev/null | tr -d '\r' | awk '!seen[$0]++' |
    sed "s/^/$check_name: $1 says: /" || true
  if [ -f "$logs/$1.out" ] && ! grep -a 'through sudo' "$logs/$1.out" | grep -a -q -v '^(install-deps.sh: '; then
    note "$1: sudo for the package installs only"
  fi
}
ways demo

if [ "$demo_only" = 0 ]; then
  # The README's build-from-source steps after the demo: the tests built and
  # run, every one passed.
  status=$(cat "$logs/readme.status" 2>/dev/null || echo none)
  closing=$(grep -a -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+$' "$logs/readme.out" 2>/dev/null |
    tail -n 1 || true)
  if [ "$status" = 0 ] && [[ $closing =~ ^100%\ tests\ passed,\ 0\ tests\ failed\ out\ of\ [1-9] ]]; then
    check 0 "README's build from source, typed after the demo: $closing, in $(cat "$logs/readme.time") s"
  else
    tail -n 40 "$logs/readme.out" >&2 2>/dev/null || true
    check 1 "README's build from source: status $status, CTest's line '${closing:-none}' (steps: $logs_dest/readme-steps.sh)"
  fi
  owned_by_user readme "$demo_clone"

  # The test command: its last line, whose counts add to this script's.
  status=$(cat "$logs/test.status" 2>/dev/null || echo none)
  last=$(tail -n 1 "$logs/test.out" 2>/dev/null || true)
  if [[ $last =~ ^summary:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  fi
  if [ "$status" = 0 ] && [[ $last =~ ^summary:\ [0-9]+\ passed,\ 0\ failed$ ]]; then
    note "test command: $last, in $(cat "$logs/test.time") s"
  else
    [[ $last =~ ^summary: ]] || failed=$((failed + 1))
    tail -n 60 "$logs/test.out" >&2 2>/dev/null || true
    note "FAIL: test command: status $status, last line '$last'"
  fi
  owned_by_user test "$test_clone"
  ways test
  ok=0; { same_readers after-test && same_readers after-restart; } || ok=1
  check $ok "the system's pcscd lists the same readers after the test command, and after its restart"
else
  ok=0; same_readers after-restart || ok=1
  check $ok "the system's pcscd lists the same readers after its restart"
fi

[ "$failed" -eq 0 ] || exit 1
