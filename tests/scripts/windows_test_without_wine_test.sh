#!/usr/bin/env bash
# The Windows step of the test command on a machine without Wine: one clear "skipped" line and
# success, nothing built. Wine is hidden in a mount namespace of this test's own (root only; the
# test is skipped otherwise).
set -euo pipefail
source_dir=$1

if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
  echo "skipped: needs root to hide Wine in a mount namespace"
  exit 0
fi

output=$(unshare -m bash -c '
  set -e
  [ ! -d /usr/lib/wine ] || mount -t tmpfs none /usr/lib/wine
  for dir in /usr/bin /usr/local/bin; do
    [ ! -e "$dir/wine64" ] || mount --bind /dev/null "$dir/wine64"
  done
  PATH=/usr/sbin:/usr/bin:/sbin:/bin exec "$1/scripts/windows-test"
' hide-wine "$source_dir" 2>&1) || { echo "windows-test failed without Wine:"; echo "$output"; exit 1; }

if [ "$output" != "windows-test: skipped: wine64 not installed" ]; then
  echo "expected one skipped line, got:"
  echo "$output"
  exit 1
fi
echo "ok: $output"
