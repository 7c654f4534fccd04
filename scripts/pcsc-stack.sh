#!/usr/bin/env bash
# A private pcsc-lite stack: pcscd with the vpcd (virtual reader) driver in a
# mount, PID and network namespace of its own, so that it never meets a
# system pcscd, and its vpcd ports never meet another program's sockets (on
# the machine's own loopback they lie in the range the kernel hands out to
# outgoing connections, so a busy machine can hold one just as vpcd binds it).
#
#   pcsc-stack.sh [--port N] [--no-pcscd] [--pcscd-log FILE] [--reader-name NAME] -- COMMAND [ARGS...]
#
# Runs COMMAND inside the namespace with pcscd up (unless --no-pcscd) and
# passes COMMAND's exit status back. Inside, /run is a private tmpfs, so
# libpcsclite clients (which use /run/pcscd/pcscd.comm) talk to this pcscd
# only, and nothing the stack makes there reaches the machine's /run. vpcd listens on port N for reader "Virtual PCD 00 00" and on N+1 for
# "Virtual PCD 00 01"; a virtual card connects there (127.0.0.1, the stack's
# own loopback). Default port 35963. With --reader-name, NAME (any bytes but
# a double quote or a line break: UTF-8, another encoding, control
# characters) takes the place of "Virtual PCD" in both names: vpcd's
# FRIENDLYNAME.
# Whatever runs in the stack ends with it: the stack is a PID
# namespace, so when its first process ends, even killed by SIGKILL (as
# CTest does on a timeout), the kernel kills every process left in it, and
# its mounts disappear. TERM or INT to this script stops the stack cleanly.
#
# COMMAND sees:
#   PCSC_STACK_SCRIPT  this script, for the subcommand below
#   PCSC_STACK_DIR     a private scratch directory (a tmpfs of the stack)
#   PCSC_STACK_CONF    the reader.conf directory given to pcscd
#   PCSC_STACK_PORT    the vpcd port
#
# Subcommand for use inside the namespace (e.g. by a test that starts pcscd
# late or restarts it):
#   pcsc-stack.sh exec-pcscd [--no-readers] [--debug] [--reader-name NAME]
#                               becomes pcscd (exec), in the foreground, with
#                               the stack's configuration; its PID is noted in
#                               $PCSC_STACK_DIR/pcscd.pid so that the stack
#                               stops it at the end whatever happens. With
#                               --no-readers it gets an empty configuration
#                               directory instead, so it has no reader at all
#                               (the vpcd entry stays in place for the next
#                               start). With --debug pcscd logs every client
#                               request ("Received command: ..."). With
#                               --reader-name the vpcd entry gets NAME from
#                               then on, as the option of the same name does.
# pcscd is started with --disable-polkit where it knows the option (pcsc-lite
# 2.0.0 and later): a pcscd built with polkit asks it about every client, and
# with no system bus to ask (the stack's own namespaces, a minimal system)
# it refuses them all. This pcscd serves the stack alone, so it needs no
# policy.
# Needs root, or a kernel that lets an ordinary user make a user namespace
# (Debian's does): run by another user, the stack is made in a user
# namespace of its own where that user is root of the namespaces only, and
# whatever the stack writes outside them belongs to that user. Also
# unshare(1) from util-linux, ip(8) from iproute2, pcscd (looked for in
# /usr/sbin and /sbin too, which an ordinary user's PATH lacks) and the vpcd
# driver (scripts/vpcd-driver.sh says where it is looked for;
# scripts/install-deps.sh puts it there).

set -u

# shellcheck source-path=SCRIPTDIR source=wait-limits.sh
. "$(dirname "${BASH_SOURCE[0]}")/wait-limits.sh"
# shellcheck source-path=SCRIPTDIR source=vpcd-driver.sh
. "$(dirname "${BASH_SOURCE[0]}")/vpcd-driver.sh"

die() {
  echo "pcsc-stack: $*" >&2
  exit 2
}

# pcscd lives in /usr/sbin, which is not on an ordinary user's PATH.
case ":$PATH:" in *:/usr/sbin:*) ;; *) PATH=$PATH:/usr/sbin ;; esac
case ":$PATH:" in *:/sbin:*) ;; *) PATH=$PATH:/sbin ;; esac
export PATH

# stack_access: how this user can make a stack: "root", "userns" (an
# unprivileged user namespace), or "none" (neither: the kernel refuses user
# namespaces to this user, or to any chrooted process).
stack_access() {
  if [ "$(id -u)" = 0 ] && [ -z "${PCSC_STACK_USERNS:-}" ]; then
    echo root
  elif unshare --user --map-root-user true 2>/dev/null; then
    echo userns
  else
    echo none
  fi
}

# Writes the reader configuration for vpcd on port $2 into directory $1,
# with friendly name $3. The driver is named by its link in the stack's
# scratch folder (made below), never by its own path: pcscd takes a value
# that is not in double quotes only when it holds nothing but letters,
# digits and =/-._@: (and strips no quotes from it), so a clone in a folder
# named with a space, a '+' or a non-ASCII letter would stop it.
write_reader_conf() {
  cat >"$1/vpcd" <<EOF
FRIENDLYNAME "$3"
DEVICENAME   /dev/null:$2
LIBPATH      $PCSC_STACK_DIR/libifdvpcd.so
CHANNELID    $2
EOF
}

# A FRIENDLYNAME is a double-quoted string on one line; any other byte goes.
check_reader_name() {
  case $1 in *'"'*|*$'\n'*) die "the reader name cannot hold a double quote or a line break" ;; esac
}

# Replaces the current process by pcscd for this stack; with --no-readers,
# by one without any reader configuration.
exec_pcscd() {
  [ -n "${PCSC_STACK_DIR:-}" ] || die "exec-pcscd works only inside the stack"
  local conf=$PCSC_STACK_CONF level=--info
  while [ $# -gt 0 ]; do
    case $1 in
      --no-readers)
        conf=$PCSC_STACK_DIR/reader.conf.empty
        mkdir -p "$conf" || die "cannot create $conf"
        ;;
      --debug) level=--debug ;;
      --reader-name)
        check_reader_name "${2:?--reader-name needs a value}"
        write_reader_conf "$PCSC_STACK_CONF" "$PCSC_STACK_PORT" "$2"
        shift
        ;;
      *) die "exec-pcscd: unknown argument '$1'" ;;
    esac
    shift
  done
  local policy=()
  if pcscd --help 2>&1 | grep -q -e '--disable-polkit'; then policy=(--disable-polkit); fi
  echo $$ >"$PCSC_STACK_DIR/pcscd.pid"
  exec pcscd --foreground "$level" "${policy[@]}" -c "$conf"
}

# Stops the pcscd whose PID is noted in the stack's pid file, if it still
# runs; TERM first, KILL after half a wait step.
# shellcheck disable=SC2317  # run by the EXIT trap below, which shellcheck 0.9 misses as the script ends in exit
stop_pcscd() {
  local pidfile=$PCSC_STACK_DIR/pcscd.pid pid
  [ -s "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  rm -f "$pidfile"
  # Only a process that is still this stack's pcscd.
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pcscd ] || return 0
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq $((wait_step * 5))); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pcscd ] || break
    sleep 0.1
  done
  if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pcscd ]; then kill -KILL "$pid" 2>/dev/null; fi
  wait "$pid" 2>/dev/null
  return 0
}

# Waits (up to wait_step seconds) until pcscd's client socket exists.
wait_pcscd_ready() {
  for _ in $(seq $((wait_step * 10))); do
    [ -S /run/pcscd/pcscd.comm ] && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

if [ "${1:-}" = exec-pcscd ]; then
  shift
  exec_pcscd "$@"
fi

# `pcsc-stack.sh access` prints how this user can make a stack (see
# stack_access) and exits 0 when it can.
if [ "${1:-}" = access ]; then
  access=$(stack_access)
  echo "$access"
  [ "$access" != none ]
  exit
fi

port=35963
start_pcscd=1
pcscd_log=
reader_name="Virtual PCD"
while [ $# -gt 0 ]; do
  case $1 in
    --port) port=${2:?--port needs a value}; shift 2 ;;
    --no-pcscd) start_pcscd=0; shift ;;
    --pcscd-log) pcscd_log=${2:?--pcscd-log needs a value}; shift 2 ;;
    --reader-name) reader_name=${2:?--reader-name needs a value}; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,/^# Needs root/p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown argument '$1' (see --help)" ;;
  esac
done
[ $# -gt 0 ] || die "no COMMAND given (see --help)"
case $port in ''|*[!0-9]*) die "bad port '$port'" ;; esac
check_reader_name "$reader_name"

self=$(readlink -f "$0")

# First pass: enter new mount, PID and network namespaces and run this script again there.
if [ -z "${PCSC_STACK_INNER:-}" ]; then
  command -v unshare >/dev/null || die "unshare not found"
  args=(--port "$port")
  [ $start_pcscd = 1 ] || args+=(--no-pcscd)
  [ -z "$pcscd_log" ] || args+=(--pcscd-log "$pcscd_log")
  args+=(--reader-name "$reader_name")
  if [ "$(id -u)" != 0 ]; then
    # An ordinary user: the same stack, in a user namespace where this user
    # is root of the namespaces that the stack makes, and of nothing else.
    [ "$(stack_access)" = userns ] ||
      die "needs root here: this kernel refuses user namespaces to $(id -un) (run it with sudo)"
    PCSC_STACK_USERNS=1 exec unshare --user --map-root-user "$self" "${args[@]}" -- "$@"
  fi
  command -v ip >/dev/null || die "ip not found (iproute2)"
  command -v pcscd >/dev/null || die "pcscd not found"
  VPCD_DRIVER=$(vpcd_driver) || die "no vpcd driver (scripts/install-deps.sh unpacks one into build-vpcd/)"
  # Its full path, for the link in the stack's scratch folder.
  VPCD_DRIVER=$(readlink -f -- "$VPCD_DRIVER") || die "cannot resolve the vpcd driver's path"
  export VPCD_DRIVER
  # This script runs again as the first process of a new PID namespace: when
  # it ends, the kernel ends everything else in there. unshare ignores TERM
  # and INT while it waits, but --kill-child sends TERM to that process (its
  # cleanup runs) when unshare dies, so a signal to this script is passed on
  # by killing unshare.
  PCSC_STACK_INNER=1 unshare --mount --propagation private --pid --net --fork --kill-child=TERM \
    --mount-proc "$self" "${args[@]}" -- "$@" <&0 &
  unshare_pid=$!
  trap 'kill -KILL $unshare_pid 2>/dev/null; exit 143' TERM HUP
  trap 'kill -KILL $unshare_pid 2>/dev/null; exit 130' INT
  wait $unshare_pid
  exit $?
fi
unset PCSC_STACK_INNER

# The first process of a PID namespace ignores signals it has no handler for.
trap 'exit 143' TERM
trap 'exit 130' INT

# Inside the namespace: nothing mounted here reaches the rest of the system,
# and the tmpfs mounted here vanish with the namespace, whatever way the
# stack ends.
mount --make-rprivate / || die "cannot make mounts private"
# A new network namespace has only a loopback interface, and it is down.
ip link set lo up || die "cannot bring up the loopback interface"
# /run is a tmpfs of the stack's own: pcscd's socket folder and the stack's
# scratch folder are made there, so that nothing is left in the machine's
# /run (and a user namespace, which may not write there, can make them).
PCSC_STACK_DIR=/run/pcsc-stack
mount -t tmpfs -o mode=0755,size=1m pcsc-stack /run || die "cannot mount tmpfs on /run"
mkdir -p /run/pcscd "$PCSC_STACK_DIR" || die "cannot create the folders in /run"
mount -t tmpfs -o mode=0700,size=64m pcsc-stack "$PCSC_STACK_DIR" || die "cannot mount tmpfs on $PCSC_STACK_DIR"

# The driver as pcscd's configuration names it: a link whose path pcscd
# accepts whatever folder the clone lies in (see write_reader_conf).
ln -s -- "$VPCD_DRIVER" "$PCSC_STACK_DIR/libifdvpcd.so" || die "cannot link the vpcd driver into $PCSC_STACK_DIR"
PCSC_STACK_CONF=$PCSC_STACK_DIR/reader.conf.d
mkdir "$PCSC_STACK_CONF"
write_reader_conf "$PCSC_STACK_CONF" "$port" "$reader_name"
export PCSC_STACK_SCRIPT=$self PCSC_STACK_DIR PCSC_STACK_CONF PCSC_STACK_PORT=$port

trap stop_pcscd EXIT

if [ $start_pcscd = 1 ]; then
  if [ -n "$pcscd_log" ]; then
    "$self" exec-pcscd >>"$pcscd_log" 2>&1 &
  else
    "$self" exec-pcscd >/dev/null 2>&1 &
  fi
  pcscd_pid=$!
  wait_pcscd_ready "$pcscd_pid" || die "pcscd did not come up (try --pcscd-log FILE)"
fi

# COMMAND runs as a child (not exec) so that the EXIT trap still stops
# pcscd; a TERM to this script ends COMMAND too. It keeps this script's
# standard input.
"$@" <&0 &
cmd_pid=$!
trap 'kill -TERM $cmd_pid 2>/dev/null; wait $cmd_pid; exit 143' TERM
trap 'kill -INT $cmd_pid 2>/dev/null; wait $cmd_pid; exit 130' INT
wait $cmd_pid
status=$?
exit $status
