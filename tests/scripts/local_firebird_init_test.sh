#!/usr/bin/env bash
# scripts/local-firebird picks the way the machine runs services: systemd's unit where systemd
# runs the machine, its own fbguard start elsewhere. The direct way is the one this machine has
# (CI starts the server that way); the systemd way is checked against a stand-in systemctl that
# records what it is asked, since the test cannot make systemd run the machine.
#   local_firebird_init_test.sh SOURCE_DIR
set -euo pipefail
script=$1/scripts/local-firebird
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

# The direct way: the server that scripts/test started answers.
if [ ! -d /run/systemd/system ]; then
  out=$(MIRROX_INIT= "$script" status) || fail "direct status: $out"
  case "$out" in *"running on 127.0.0.1:3050"*) ;; *) fail "direct status said: $out" ;; esac
fi

# The systemd way, with a systemctl that says what it was asked and answers as told.
mkdir "$work/bin"
cat > "$work/bin/systemctl" <<'STANDIN'
#!/bin/sh
echo "$*" >> "$SYSTEMCTL_LOG"
exit "${SYSTEMCTL_ANSWER:-0}"
STANDIN
chmod 755 "$work/bin/systemctl"
export SYSTEMCTL_LOG=$work/systemctl.log

: > "$SYSTEMCTL_LOG"
out=$(PATH="$work/bin:$PATH" MIRROX_INIT=systemd SYSTEMCTL_ANSWER=0 "$script" status) ||
  fail "systemd status of an active unit: $out"
grep -qx 'is-active --quiet firebird3.0.service' "$SYSTEMCTL_LOG" || fail "asked systemctl: $(cat "$SYSTEMCTL_LOG")"

: > "$SYSTEMCTL_LOG"
set +e
out=$(PATH="$work/bin:$PATH" MIRROX_INIT=systemd SYSTEMCTL_ANSWER=3 "$script" status)
code=$?
set -e
[ "$code" -eq 3 ] || fail "systemd status of an inactive unit exited $code: $out"
case "$out" in *"not running"*) ;; *) fail "inactive unit said: $out" ;; esac

set +e
out=$(MIRROX_INIT=upstart "$script" status 2>&1)
code=$?
set -e
[ "$code" -eq 2 ] || fail "an unknown init system exited $code"
case "$out" in *"MIRROX_INIT must be systemd or direct, not upstart"*) ;; *) fail "unknown init said: $out" ;; esac
echo "local-firebird chooses and drives the init system"
