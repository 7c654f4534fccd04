# shellcheck shell=bash
# Sourced by the set-up and check scripts (install-deps.sh, demo.sh,
# test.sh, cross-check.sh, debian-check.sh) and by their check
# (tests/scripts/privileges-check.sh): which steps run as root, and whose
# files the clone holds.

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
# user ran the script with sudo), makes every file that root made in the
# clone (owned by root) that user's again, so that they can rebuild and
# remove it without root. Prints one line when it changed anything. Does
# nothing otherwise. The clone's owner can swap any folder in it for a link
# at any time, so root works from within the clone's folder (entered once)
# and lets chown walk it without following a link anywhere: a link's
# target, a file of a third user, or a folder outside the clone never
# change owner.
give_back_clone() {
  local root=$1
  [ "$(id -u)" -eq 0 ] || return 0
  (
    cd -P -- "$root" 2>/dev/null || exit 0
    owner=$(stat -c %u .) group=$(stat -c %g .)
    [ "$owner" -ne 0 ] || exit 0
    count=$(find . -xdev -user 0 -print0 | tr -dc '\0' | wc -c)
    [ "$count" -gt 0 ] || exit 0
    owner_name=$(id -nu "$owner" 2>/dev/null || echo "$owner")
    if chown -R -P --from=0 "$owner:$group" .; then
      echo "(${0##*/}: the $count files made as root in $root now belong to $owner_name, as the clone does)" >&2
    else
      echo "(${0##*/}: some of the $count files made as root in $root could not be given to $owner_name)" >&2
    fi
  )
  return 0
}

# as_clone_owner ROOT COMMAND [ARGS...]: COMMAND as the owner of the clone
# ROOT when this is root and the clone is another user's (the user ran the
# script with sudo), so that a link that user put in the clone takes
# COMMAND nowhere that user could not go; directly otherwise.
as_clone_owner() {
  local root=$1 owner group
  shift
  if [ "$(id -u)" -eq 0 ]; then
    owner=$(stat -c %u "$root") group=$(stat -c %g "$root")
    if [ "$owner" -ne 0 ]; then
      setpriv --reuid="$owner" --regid="$group" --clear-groups -- "$@"
      return
    fi
  fi
  "$@"
}

# shell_quote WORD: WORD as the shell reads it back, in single quotes when
# it holds anything but letters, digits and /._-+:@= (a path shown in a
# command for the user to copy).
shell_quote() {
  case $1 in
    *[!A-Za-z0-9/._+:@=-]*) printf "'%s'" "${1//\'/\'\\\'\'}" ;;
    '') printf "''" ;;
    *) printf '%s' "$1" ;;
  esac
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
    # install_manifest.txt, the list that `sudo cmake --install build` writes,
    # is root's and stays so: no build writes it, and the user may remove it.
    other=$(find "$root/$folder" -xdev ! -user "$(id -u)" ! -name install_manifest.txt -print -quit 2>/dev/null)
    if [ -n "$other" ]; then
      echo "${0##*/}: $root/$folder holds files that are not yours (e.g. $other), left by a run as root;" \
        "make them yours first: sudo chown -R $(id -un): $(shell_quote "$root/$folder")" >&2
      return 1
    fi
  done
}
