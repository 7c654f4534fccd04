# shellcheck shell=bash
# How long the tests and checks wait for something that must happen: pcscd
# opening its socket, a card powered up, the tool's banner, its exit, a
# process told to stop. A wait ends as soon as its thing happens, so room
# costs time only when something has failed; a first run on a fresh machine
# (cold caches, a new Wine prefix, two tests at once, a loaded CPU) needs
# much more of it than a quiet machine, where each step takes well under a
# second. The end-to-end cases (tests/e2e/e2e.py) take their base from this
# line too, so this is the one value to change.
# shellcheck disable=SC2034 # read by the scripts that source this file, and by e2e.py
wait_step=20
