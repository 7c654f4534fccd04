# shellcheck shell=bash
# Sourced by the scripts that run a list of stages and end with the
# project's summary line, `summary: N passed, N failed` (test.sh,
# cross-check.sh). Before sourcing it, the script sets `stages` (the stage
# names in order), `stages_name` (its own name in the lines below) and
# `root` (the clone), and sources privileges.sh. The EXIT and INT traps are
# set here.
# shellcheck disable=SC2154  # stages, stages_name and root are the sourcing script's
stage=0
passed=0
failed=0
# Temporary folders that the script makes (stages_temp+=(DIR)): removed on
# every exit, whatever ends the script.
stages_temp=()

# begin NAME: the next stage is NAME, which must be the next of the list.
begin() {
  [ "${stages[$stage]}" = "$1" ] || { echo "$stages_name: stage '$1' is not next in the list" >&2; exit 2; }
}
# done_check: the current stage, a check of its own, passed.
done_check() { passed=$((passed + 1)); stage=$((stage + 1)); }
# done_step: the current stage, a step that other stages need, is done.
done_step() { stage=$((stage + 1)); }

# run_ctest LOG ARGS...: ctest with ARGS, its output also in LOG; counts its
# passed and failed tests from its closing line (the count of tests run is
# left in ctest_total), less those it lists as skipped (a test that needs
# root, run by a user), and fails when any failed, or when there is no such
# line. Ends the current stage.
run_ctest() {
  local log=$1 status=0 counts skipped
  shift
  ctest "$@" 2>&1 | tee "$log" || status=$?
  counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1)
  skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -c '(Skipped)$' || true)
  if [ -n "$counts" ]; then
    read -r ctest_failed ctest_total <<<"$counts"
    passed=$((passed + ctest_total - ctest_failed - skipped))
    failed=$((failed + ctest_failed))
  fi
  if [ "$status" -ne 0 ] || [ -z "$counts" ] || [ "$ctest_failed" -ne 0 ]; then
    exit 1
  fi
  stage=$((stage + 1))
}

# stages_end: the last line of a success. The files made as root in another
# user's clone go back to that user first.
stages_end() {
  give_back_clone "$root"
  echo "summary: $passed passed, 0 failed"
}

# On any exit the temporary folders go. On any exit but success, the files
# made as root in another user's clone go back to that user, and the summary
# of what ran, with the failure counted, is the last line, after the stage
# that failed and those not run.
stages_on_exit() {
  local status=$? left left_list
  [ "${#stages_temp[@]}" -eq 0 ] || rm -rf -- "${stages_temp[@]}"
  [ "$status" -ne 0 ] || return 0
  give_back_clone "$root"
  [ "$failed" -gt 0 ] || failed=1
  left=("${stages[@]:$((stage + 1))}")
  echo "$stages_name: FAILED at stage: ${stages[$stage]}" >&2
  if [ "${#left[@]}" -gt 0 ]; then
    printf -v left_list '%s, ' "${left[@]}"
    echo "$stages_name: not run: ${left_list%, }" >&2
  fi
  echo "summary: $passed passed, $failed failed"
  exit "$status"
}
trap stages_on_exit EXIT
# Ctrl-C ends the script with status 130 through the EXIT trap, and so with
# the summary (the commands it runs get the terminal's SIGINT themselves).
trap 'exit 130' INT
