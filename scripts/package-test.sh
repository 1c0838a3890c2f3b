#!/usr/bin/env bash
# The Debian package as an operator meets it: builds it, checks it with lintian, installs it,
# runs the installed program as an operator of the group elevra against a simulated stand
# controller, removes and reinstalls it (what the operator saved stays), and purges it again.
# Needs root. A machine on which the package is already installed is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "package test: needs root (sudo $0)" >&2
  exit 1
fi
exec 9> /tmp/elevra-package-test.lock
flock 9  # one package test at a time on a machine
if dpkg-query -W -f='${Status}' elevra 2>/dev/null | grep -qv "not-installed"; then
  echo "package test: skipped, elevra is installed on this machine" >&2
  exit 0
fi

started=$(date +%s)
data=/var/lib/elevra
operator=elevra-package-test
work=$(mktemp -d)
chmod 0755 "$work"
group_was_there=$(getent group elevra > /dev/null && echo yes || echo no)
sim_pid=
program_pid=
export DEBIAN_FRONTEND=noninteractive

cleanup() {
  for pid in $program_pid $sim_pid; do kill -9 "$pid" 2> /dev/null && wait "$pid" 2> /dev/null || true; done
  exec 9> /tmp/elevra-package-test.lock
flock 9  # one package test at a time on a machine
if dpkg-query -W -f='${Status}' elevra 2>/dev/null | grep -qv "not-installed"; then
    apt-get purge -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/purge.log" 2>&1 || cat "$work/purge.log" >&2
  fi
  userdel "$operator" 2> /dev/null || true
  [ "$group_was_there" = yes ] || groupdel elevra 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "package test: $*" >&2
  exit 1
}

# "mode owner group" of a file, or of what a link points to.
status() { stat -L -c '%a %U %G' "$1"; }

expect_status() {
  local got
  got=$(status "$1")
  [ "$got" = "$2" ] || fail "$1 is '$got', not '$2'"
}

install_package() {
  apt-get install -y -q -o DPkg::Lock::Timeout=300 "$deb" > "$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "apt-get install failed"; }
}

deb=$(scripts/package.sh)
echo "package test: $deb"
lintian_ok=yes
lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 || lintian_ok=no
grep -v "^running with root" "$work/lintian.log" >&2 || true
[ "$lintian_ok" = yes ] || fail "lintian found errors"

install_package
desktop-file-validate /usr/share/applications/invalid.elevra.Elevra.desktop || fail "desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/invalid.elevra.Elevra.metainfo.xml > "$work/appstream.log" \
  || { cat "$work/appstream.log" >&2; fail "metainfo"; }
[ "$(readlink /usr/share/Quillon/Vantora)" = "$data" ] || fail "/usr/share/Quillon/Vantora does not point to $data"
for folder in "$data" "$data/Database" "$data/RunOrder"; do expect_status "$folder" "2775 root elevra"; done
expect_status "$data/elevra.ini" "664 root elevra"
expect_status "$data/DBase0.db" "664 root elevra"
cmp -s "$data/elevra.msg" /usr/share/elevra/elevra.msg || fail "elevra.msg is not the installed one"

# The operator: in the group elevra, with a home and a runtime folder of its own.
userdel "$operator" 2> /dev/null || true  # left by an interrupted run
useradd --no-create-home --shell /usr/sbin/nologin --groups elevra "$operator"
install -d -o "$operator" -m 0700 "$work/home" "$work/run"
install -d -o "$operator" -m 0755 "$work/sim"
as_operator=(setpriv --reuid="$operator" --regid="$operator" --init-groups)

# A mode of its own on the configuration, to see it kept; the default database goes, so that
# the close saves a new one as the operator.
printf '[Main]\nStands Displayed=2\n' > "$data/elevra.ini"
chmod 0660 "$data/elevra.ini"
rm "$data/DBase0.db"

"${as_operator[@]}" /usr/bin/elevra-standsim --stands 2 --speed 0 --heights 30,40 --log "$work/sim/frames.log" > "$work/sim/out" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim/out" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/sim/out")
[ -n "$device" ] || fail "the stand simulator did not start"
mkdir -p "$data/ports"
ln -sfn "$device" "$data/ports/COM1"

env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen \
  XDG_DATA_DIRS=/usr/share/ubuntu:/usr/local/share:/usr/share \
  "${as_operator[@]}" /usr/bin/elevra > "$work/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 300); do
  grep -q "OUT :1A" "$work/sim/frames.log" 2> /dev/null && grep -q "OUT :2A" "$work/sim/frames.log" && break
  kill -0 "$program_pid" 2> /dev/null || { cat "$work/program.log" >&2; fail "the program ended before it polled"; }
  sleep 0.1
done
grep -q "OUT :2A" "$work/sim/frames.log" || { cat "$work/program.log" >&2; fail "the program did not poll both stands"; }

# A log-out's signal closes the program in order; it writes its configuration and the database.
kill -TERM "$program_pid"
for _ in $(seq 300); do kill -0 "$program_pid" 2> /dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2> /dev/null; then fail "the program did not close"; fi
wait "$program_pid" || fail "the program ended with exit code $?"
program_pid=
kill "$sim_pid" && wait "$sim_pid" || true
sim_pid=

grep -q "^Stands Displayed=2" "$data/elevra.ini" || fail "the configuration lost its values"
grep -q "^Database Filename=/usr/share/Quillon/Vantora/DBase0.db" "$data/elevra.ini" || fail "the configuration was not written"
expect_status "$data/elevra.ini" "660 root elevra"
expect_status "$data/DBase0.db" "664 $operator elevra"
grep -q "^\[Preset49\]" "$data/DBase0.db" || fail "the database was not written"

saved=$(sha256sum "$data/elevra.ini" "$data/DBase0.db")
apt-get remove -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "apt-get remove failed"; }
[ ! -e /usr/bin/elevra ] && [ ! -L /usr/share/Quillon/Vantora ] || fail "the program stayed after its removal"
install_package
[ "$(sha256sum "$data/elevra.ini" "$data/DBase0.db")" = "$saved" ] || fail "the reinstall changed what the operator saved"
expect_status "$data/elevra.ini" "660 root elevra"
expect_status "$data/DBase0.db" "664 $operator elevra"

apt-get purge -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "apt-get purge failed"; }
[ ! -e "$data" ] || fail "$data stayed after the purge"
echo "package test: passed in $(( $(date +%s) - started )) s"
