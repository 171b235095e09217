#!/usr/bin/env bash
# The two Debian packages as an administrator meets them: built from the tree, installed with
# apt-get, each program run from its installed path, the agent's unit verified, the installation
# directory and accounts checked, then both purged again. Root only (exit 77 = skipped).
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing packages needs root"
  exit 77
fi

work=$(mktemp -d)
udf=/usr/lib/x86_64-linux-gnu/firebird/3.0/UDF/testudf.dll
# The test machine's server loads the sort-key library that the package also installs, and purging
# the package removes it: the library that was there is put back whatever happens.
if [ -e "$udf" ]; then cp -p "$udf" "$work/testudf.dll"; fi
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mirrox mirrox-agent >/dev/null 2>&1 || true
  if [ -e "$work/testudf.dll" ]; then cp -p "$work/testudf.dll" "$udf"; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
expect() {  # expect DESCRIPTION COMMAND...
  local what=$1
  shift
  "$@" || fail "$what"
}

(cd "$build" && cpack -G DEB -B "$work/packages" >/dev/null)
version=$(sed -n 's/^inline constexpr const char\* kMirroxVersion = "\(.*\)";$/\1/p' "$build/generated/mirrox_version.h")
[ -n "$version" ] || fail "no version in the build"

# Lintian's verdict: clean but for what the packages override (and explain) themselves.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$work"/packages/*.deb >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian"; }
else
  echo "lintian: skipped: lintian not installed"
fi

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$work"/packages/mirrox_*.deb "$work"/packages/mirrox-agent_*.deb >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install"; }

# The programs from their installed paths.
out=$(/usr/bin/mirrox --version)
expect "mirrox --version said: $out" test "${out%% (*}" = "mirrox $version"
out=$(/usr/sbin/mirrox-agent --version)
expect "mirrox-agent --version said: $out" test "$out" = "mirrox-agent $version"
expect "mirrox --help" sh -c '/usr/bin/mirrox --help | grep -q "^  /auto "'

# The operators' installation: the link that makes /var/lib/mirrox the installation, the group.
expect "installation link" test "$(readlink /var/lib/mirrox/mirrox)" = /usr/lib/mirrox/mirrox
expect "group mirrox" sh -c 'getent group mirrox >/dev/null' 
expect "installation directory" test "$(stat -c '%G %a' /var/lib/mirrox)" = "mirrox 2775"
expect "database directory" test "$(stat -c '%U %G %a' /var/lib/mirrox/DB)" = "firebird mirrox 2770"
expect "sort-key library" test -s "$udf"
expect "desktop entry" grep -q '^Exec=mirrox$' /usr/share/applications/mirrox.desktop
expect "autostart entry" grep -q '^Exec=mirrox /auto$' /etc/xdg/autostart/mirrox-autostart.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/mirrox.desktop /etc/xdg/autostart/mirrox-autostart.desktop ||
    fail "desktop entries"
fi
# An account that is not an operator's: its desktop's unattended start does nothing.
expect "unattended start of a non-operator" runuser -u nobody -- /usr/bin/mirrox /auto

# The site's agent: its account, its configuration, its unit.
expect "account mirrox-agent" sh -c 'getent passwd mirrox-agent >/dev/null' 
expect "configuration" test "$(stat -c '%U %G %a' /etc/mirrox-agent/agent.conf)" = "root mirrox-agent 640"
expect "systemd-analyze verify" systemd-analyze verify /lib/systemd/system/mirrox-agent.service
# The packaged configuration starts the agent as its account would (on a port of its own here,
# its results in a directory of that account's, as the unit's cache directory is).
chmod 0755 "$work"
install -d -o mirrox-agent -m 0700 "$work/results"
runuser -u mirrox-agent -- /usr/sbin/mirrox-agent --config /etc/mirrox-agent/agent.conf \
  --results "$work/results" --port 0 >"$work/agent.out" 2>"$work/agent.err" &
agent=$!
for _ in $(seq 100); do grep -q '^listening on 127.0.0.1:' "$work/agent.out" && break; sleep 0.1; done
kill "$agent" 2>/dev/null || true
wait "$agent" || true
expect "agent with the packaged configuration: $(cat "$work/agent.err")" grep -q '^listening on 127.0.0.1:' "$work/agent.out"
expect "agent's first log line: $(head -n1 "$work/agent.err")" \
  sh -c "head -n1 '$work/agent.err' | grep -q ' mirrox-agent $version (Firebird client LI-V.*) listening on '"
# A bad configuration line ends the agent with the exit code that the unit does not restart, so a
# broken file leaves the service failed instead of starting it again every few seconds.
cp /etc/mirrox-agent/agent.conf "$work/bad.conf"
echo "allow = not-an-address" >>"$work/bad.conf"
code=0
timeout 20 /usr/sbin/mirrox-agent --config "$work/bad.conf" --port 0 >/dev/null 2>"$work/bad.err" || code=$?
kept=$(sed -n 's/^RestartPreventExitStatus=//p' /lib/systemd/system/mirrox-agent.service)
expect "agent with a bad configuration line exited with $code (the unit keeps '$kept' stopped): $(cat "$work/bad.err")" \
  test "$code" = "$kept"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mirrox mirrox-agent >"$work/purge.log" 2>&1 ||
  { cat "$work/purge.log"; fail "apt-get purge"; }
for gone in /usr/bin/mirrox /usr/lib/mirrox /usr/sbin/mirrox-agent /lib/systemd/system/mirrox-agent.service \
  /etc/mirrox-agent /var/lib/mirrox/mirrox; do
  expect "$gone left after purge" test ! -e "$gone"
done
expect "account mirrox-agent left after purge" sh -c '! getent passwd mirrox-agent'
echo "packages installed, ran and were removed"
