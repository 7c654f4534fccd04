# shellcheck shell=bash
# Sourced by the set-up scripts (install-deps.sh, demo.sh, test.sh): which
# steps run as root, and whose files the clone holds.

# run_as_root COMMAND [ARGS...]: COMMAND as root, directly when this is
# root, through sudo otherwise, with a line that says so. DEBIAN_FRONTEND,
# which sudo would drop, is passed on.
run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
    return
  fi
  local shown=() word
  # The command as it is run, up to a script given inline (bash -c '…').
  for word in "$@"; do
    case $word in *$'\n'*) shown+=("…"); break ;; esac
    shown+=("$word")
  done
  echo "(${0##*/}: as root, through sudo: ${shown[*]})" >&2
  sudo env ${DEBIAN_FRONTEND:+DEBIAN_FRONTEND="$DEBIAN_FRONTEND"} "$@"
}

# give_back_clone ROOT: run as root in a clone that another user owns (the
# user ran the script with sudo), makes every file in the clone that is not
# that user's theirs again, so that they can rebuild and remove it without
# root. Prints one line when it changed anything. Does nothing otherwise.
give_back_clone() {
  local root=$1 owner group count
  [ "$(id -u)" -eq 0 ] || return 0
  owner=$(stat -c %u "$root") group=$(stat -c %g "$root")
  [ "$owner" -ne 0 ] || return 0
  count=$(find "$root" -xdev ! -user "$owner" -print0 | tr -dc '\0' | wc -c)
  [ "$count" -gt 0 ] || return 0
  find "$root" -xdev ! -user "$owner" -exec chown -h "$owner:$group" {} +
  echo "(${0##*/}: the $count files made as root in $root now belong to $(id -nu "$owner" 2>/dev/null || echo "$owner"), as the clone does)" >&2
}

# check_own_files ROOT FOLDER...: as an ordinary user, fails at once, with
# the command that mends it, when one of the clone's build folders holds a
# file that is not this user's (left by an earlier run as root), rather
# than after minutes of work.
check_own_files() {
  local root=$1 folder other
  shift
  [ "$(id -u)" -ne 0 ] || return 0
  for folder in "$@"; do
    [ -e "$root/$folder" ] || continue
    other=$(find "$root/$folder" -xdev ! -user "$(id -u)" -print -quit 2>/dev/null)
    if [ -n "$other" ]; then
      echo "${0##*/}: $root/$folder holds files that are not yours (e.g. $other), left by a run as root;" \
        "make them yours first: sudo chown -R $(id -un): $root/$folder" >&2
      return 1
    fi
  done
}
