# shellcheck shell=bash
# Shared by the check scripts (sourced): messages, and the checks of what
# the tool prints when it runs without any reader it can reach. The
# sourcing script sets check_name, which begins every message.
#   check_init TMPDIR   writes the banner to compare with into TMPDIR

check_name=${check_name:-check}

check_init() {
  banner=$1/banner
  printf 'Vantrel Quillon utility v.1.0\r\nCopyright (c) 2026 Vantrel\r\n\r\nWaiting for card...\r\n' >"$banner"
  banner_size=$(stat -c %s "$banner")
}

fail() {
  echo "$check_name: FAIL: $*" >&2
  exit 1
}

note() { echo "$check_name: $*"; }

show() {  # show NAME FILE: the first bytes of an output, for a failure message
  echo "--- $1 (od -c, first 512 bytes) ---" >&2
  head -c 512 "$2" | od -c >&2
  if grep -q $'\r\r' "$2"; then
    echo "(CR CR LF line ends: stdout is in text mode, so the C runtime put a second" \
      "CR before the LF of each CR LF; on Windows the program must switch stdout" \
      "to binary mode)" >&2
  fi
}

# expect_banner OUT WHAT: OUT begins with the banner bytes.
expect_banner() {
  if ! cmp -s -n "$banner_size" "$banner" "$1"; then
    show "expected banner" "$banner"
    show "stdout" "$1"
    fail "$2: stdout does not begin with the banner bytes"
  fi
}

# expect_banner_only OUT WHAT: OUT is the banner and nothing else.
expect_banner_only() {
  expect_banner "$1" "$2"
  if [ "$(stat -c %s "$1")" -ne "$banner_size" ]; then
    show "stdout" "$1"
    fail "$2: something follows the banner"
  fi
}

# expect_retries OUT LINE MIN MAX WHAT: OUT is the banner followed only by
# LINE (each ended by CR LF), MIN to MAX times. Sets retry_count.
expect_retries() {
  local out=$1 line=$2 min=$3 max=$4 what=$5 text
  expect_banner "$out" "$what"
  retry_count=0
  while IFS= read -r text || [ -n "$text" ]; do
    if [ "$text" != "$line"$'\r' ]; then
      show "stdout" "$out"
      fail "$what: an unexpected line after the banner: '$text' (expected '$line' CR LF)"
    fi
    retry_count=$((retry_count + 1))
  done < <(tail -c +"$((banner_size + 1))" "$out")
  if [ "$retry_count" -lt "$min" ] || [ "$retry_count" -gt "$max" ]; then
    fail "$what: $retry_count lines '$line'; expected $min to $max (one a second)"
  fi
}
