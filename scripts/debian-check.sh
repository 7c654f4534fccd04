#!/usr/bin/env bash
# Runs the README's two set-up commands, scripts/demo.sh and then
# scripts/test.sh, in a fresh minimal Debian system of another release, as a
# new user would on a machine whose own PC/SC service runs:
#
#   scripts/debian-check.sh [SUITE]          (default trixie, Debian 13; as root)
#
# The steps:
#   - a minimal system of SUITE (`debootstrap --variant=minbase`, from the
#     mirror of this machine's own apt sources) is kept as a pristine base in
#     the cache folder, made anew when it is a week old; each run works on a
#     copy of it, removed at the end;
#   - the copy's packages downloaded are kept in the cache folder too, so
#     that a later run downloads only what changed;
#   - the commit checked out here (HEAD; changes not committed are not
#     taken) is cloned into the copy's /root/quillon;
#   - in the copy: pcscd is installed and started as its service starts it
#     (with the system bus and polkit where the release's pcscd uses them),
#     and its readers are listed; then the demo, which must print the virtual
#     card's report (its three blocks), then the test command, which must end
#     with `summary: N passed, 0 failed`; after each, the system's pcscd must
#     list the same readers as before, and after a restart as well (it reads
#     /etc/reader.conf.d/ when it starts).
# Everything runs in private mount and PID namespaces: what is mounted into
# the copy (/proc, /sys, /dev, the package cache) and every process started
# there end with this script. The logs stay in build-debian-SUITE/ of this
# clone. The last line is `summary: N passed, N failed`: the test command's
# count in the copy and this script's own three checks.
#
# Cache folder: $QUILLON_DEBIAN_CHECK_CACHE, default /var/cache/quillon-debian-check.
# Mirror: $QUILLON_DEBIAN_MIRROR, default the one of this machine's apt sources.
# Needs root, debootstrap, git, unshare (util-linux) and a network that
# reaches the mirror.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
suite=${1:-trixie}
case $suite in ''|*[!a-z]*) echo "debian-check: bad suite name '$suite'" >&2; exit 2 ;; esac
cache=${QUILLON_DEBIAN_CHECK_CACHE:-/var/cache/quillon-debian-check}
logs=$root/build-debian-$suite
base=$cache/$suite.base
copy=$cache/$suite.copy
debs=$cache/$suite.debs

# shellcheck source-path=SCRIPTDIR source=check-output.sh
. "$root/scripts/check-output.sh"
check_name="debian-check $suite"

# The limits of the two commands in the copy: a first run downloads and
# installs every package there.
demo_limit=1200
test_limit=3000

passed=0
failed=0
copy_made=0
# finish STATUS: the copy goes, and the summary is the last line.
finish() {
  local status=$1
  if [ "$copy_made" = 1 ]; then remove_copy || status=1; fi
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
  echo "summary: $passed passed, $failed failed"
  exit "$status"
}

[ "$(id -u)" = 0 ] || fail "needs root (debootstrap, chroot, namespaces)"
for tool in debootstrap git unshare chroot; do
  command -v "$tool" >/dev/null || fail "$tool not found (Debian: apt-get install debootstrap git util-linux)"
done
trap 'finish $?' EXIT

start=$SECONDS
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
  rm -rf "$base.new"
  debootstrap --variant=minbase "$suite" "$base.new" "$mirror" >"$logs/debootstrap.log" 2>&1 ||
    { tail -n 30 "$logs/debootstrap.log" >&2; fail "debootstrap of $suite failed"; }
  date -u '+%Y-%m-%d %H:%M UTC' >"$base.new/.quillon-base"
  rm -rf "$base"
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
    rm -rf "$copy"
  fi
}
remove_copy || fail "cannot remove the copy of an earlier run"
copy_made=1
cp -a "$base" "$copy"
commit=$(git -C "$root" rev-parse HEAD)
git clone -q "$root" "$copy/root/quillon"
git -C "$copy/root/quillon" checkout -q "$commit"
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  note "the clone has changes not committed: the copy checks commit $commit without them"
fi
note "copy of $(cat "$copy/etc/debian_version") at $commit"

# The script that runs in the copy, as root, from /root/quillon.
cat >"$copy/root/debian-check-inner.sh" <<'INNER'
set -u
out=/root/check
mkdir -p "$out"
export DEBIAN_FRONTEND=noninteractive

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

# readers NAME: the service's readers, one a line, into $out/readers.NAME.
readers() {
  python3 scripts/readers.py list >"$out/readers.$1" 2>&1 || echo "(failed)" >>"$out/readers.$1"
}

cd /root/quillon || exit 2
case ${1:-} in
  service)
    apt-get -q update >"$out/service-install.log" 2>&1 &&
      apt-get -q install -y --no-install-recommends pcscd python3 >>"$out/service-install.log" 2>&1 || exit 1
    start_service || exit 1
    readers before
    ;;
  demo)
    timeout "$2" scripts/demo.sh >"$out/demo.out" 2>&1
    echo $? >"$out/demo.status"
    readers after-demo
    ;;
  test)
    timeout "$2" scripts/test.sh >"$out/test.out" 2>&1
    echo $? >"$out/test.status"
    readers after-test
    stop_service
    start_service || exit 1
    readers after-restart
    ;;
esac
INNER

# --- In the copy ------------------------------------------------------------------------
# Everything below runs in new mount and PID namespaces; the copy's root is
# made a mount point of its own, or the private mounts of the commands run
# there (unshare -m) could not be made.
note "running the demo and the test command in the copy (logs: $logs)"
run_start=$SECONDS
unshare --mount --propagation private --pid --fork --kill-child bash -s "$copy" "$debs" "$demo_limit" "$test_limit" \
  >"$logs/namespace.log" 2>&1 <<'OUTER' || true
set -u
copy=$1 debs=$2 demo_limit=$3 test_limit=$4
mount --bind "$copy" "$copy"
mount -t proc proc "$copy/proc"
mount --rbind /sys "$copy/sys"
mount --rbind /dev "$copy/dev"
mount --bind "$debs" "$copy/var/cache/apt/archives"
cp -L /etc/resolv.conf "$copy/etc/resolv.conf"
inner() {
  chroot "$copy" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash /root/debian-check-inner.sh "$@"
}
inner service || exit 1
inner demo "$demo_limit"
inner test "$test_limit"
OUTER
cp -a "$copy/root/check/." "$logs/" 2>/dev/null || true
note "the commands ran in $((SECONDS - run_start)) s"

# --- The checks ---------------------------------------------------------------------------
[ -f "$logs/readers.before" ] || { cat "$logs/namespace.log" "$logs/service-install.log" >&2 2>/dev/null
  fail "the copy's pcscd was not installed and started (logs in $logs)"; }
grep -qx '(failed)' "$logs/readers.before" &&
  { cat "$logs/readers.before" >&2; fail "the copy's pcscd does not answer before the commands"; }
note "the system's pcscd lists $(grep -c . "$logs/readers.before" || true) reader(s) before the commands"

# The demo: the virtual card's report, its three blocks.
status=$(cat "$logs/demo.status" 2>/dev/null || echo none)
found=$(grep -a '^found AID:' "$logs/demo.out" 2>/dev/null | tr -d '\r' | tr '\n' ' ' || true)
expected="found AID:   '315041592E5359532E4444463031' found AID:   'A0000000031010' found AID:   'D27600012401' "
if [ "$status" = 0 ] && [ "$found" = "$expected" ]; then
  passed=$((passed + 1))
  note "demo: the virtual card's report, 3 blocks ($(grep -a '^(no card' "$logs/demo.out" | head -n 1))"
else
  failed=$((failed + 1))
  tail -n 40 "$logs/demo.out" >&2 2>/dev/null || true
  note "FAIL: demo: status $status, not the virtual card's three blocks"
fi

# same_readers WHEN: the system's pcscd lists what it listed before.
same_readers() {
  if cmp -s "$logs/readers.before" "$logs/readers.$1"; then
    return 0
  fi
  echo "before:" >&2; cat "$logs/readers.before" >&2
  echo "$1:" >&2; cat "$logs/readers.$1" >&2 2>/dev/null || echo "(none taken)" >&2
  return 1
}
if same_readers after-demo; then
  passed=$((passed + 1))
  note "the system's pcscd lists the same readers after the demo"
else
  failed=$((failed + 1))
  note "FAIL: the system's pcscd lists other readers after the demo"
fi

# The test command: its last line.
status=$(cat "$logs/test.status" 2>/dev/null || echo none)
last=$(tail -n 1 "$logs/test.out" 2>/dev/null || true)
if [[ $last =~ ^summary:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
  passed=$((passed + BASH_REMATCH[1]))
  failed=$((failed + BASH_REMATCH[2]))
fi
if [ "$status" = 0 ] && [[ $last =~ ^summary:\ [0-9]+\ passed,\ 0\ failed$ ]]; then
  note "test command: $last"
else
  [[ $last =~ ^summary: ]] || failed=$((failed + 1))
  tail -n 60 "$logs/test.out" >&2 2>/dev/null || true
  note "FAIL: test command: status $status, last line '$last'"
fi

if same_readers after-test && same_readers after-restart; then
  passed=$((passed + 1))
  note "the system's pcscd lists the same readers after the test command, and after its restart"
else
  failed=$((failed + 1))
  note "FAIL: the system's pcscd lists other readers after the test command"
fi

note "done in $((SECONDS - start)) s"
[ "$failed" -eq 0 ] || exit 1
