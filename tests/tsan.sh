#!/usr/bin/env bash
# The walk's tests under ThreadSanitizer: any data race it sees fails.
# Usage: tsan.sh BUILD_DIR (configured with -DQUINTAVO_SANITIZE=thread).
# The deepest descriptor-limit rows and the largest trees are left to the
# plain build: under the sanitizer they take minutes and add no thread.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 die_after_fork=0 suppressions=$here/tsan.supp"
export QT_QPA_PLATFORM=offscreen
mapfile -t functions < <("$build/tests/tst_walk" -functions | sed 's/()$//' |
  grep -vx -e deepChainWithinAnyDescriptorLimit -e twoHundredThousandFilesInOneFolder)
"$build/tests/tst_walk" "${functions[@]}" "deepChainWithinAnyDescriptorLimit:fifty left"
status=0
"$build/tests/tst_walkstall" || status=$?
[ "$status" = 0 ] || [ "$status" = 77 ]
