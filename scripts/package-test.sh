#!/usr/bin/env bash
# The Debian package as operators meet it: builds it, checks it with lintian, installs it, runs
# the installed program as two operators of the group elevra against a simulated stand
# controller (the second saves over what the first saved; neither can make the other run a
# program), removes and reinstalls it (what the operators saved stays), reinstalls it over links
# and files that a member planted in the data folder, and purges it again.
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
second=elevra-package-test2
work=$(mktemp -d)
chmod 0755 "$work"
group_was_there=$(getent group elevra > /dev/null && echo yes || echo no)
sim_pid=
program_pid=
export DEBIAN_FRONTEND=noninteractive

cleanup() {
  for pid in $program_pid $sim_pid; do kill -9 "$pid" 2> /dev/null && wait "$pid" 2> /dev/null || true; done
  if dpkg-query -W -f='${Status}' elevra 2>/dev/null | grep -qv "not-installed"; then
    apt-get purge -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/purge.log" 2>&1 || cat "$work/purge.log" >&2
  fi
  for user in "$operator" "$second"; do userdel "$user" 2> /dev/null || true; done
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
for folder in "$data" "$data/Database" "$data/RunOrder"; do expect_status "$folder" "3775 root elevra"; done
expect_status "$data/elevra.ini" "664 root elevra"
expect_status "$data/DBase0.db" "664 root elevra"
cmp -s "$data/elevra.msg" /usr/share/elevra/elevra.msg || fail "elevra.msg is not the installed one"

# Two operators in the group elevra, each with a home and a runtime folder of its own.
for user in "$operator" "$second"; do
  userdel "$user" 2> /dev/null || true  # left by an interrupted run
  useradd --no-create-home --shell /usr/sbin/nologin --groups elevra "$user"
  install -d -o "$user" -m 0700 "$work/$user" "$work/$user/home" "$work/$user/run"
  install -d -o "$user" -m 0755 "$work/$user/sim"
done
as() { setpriv --reuid="$1" --regid="$1" --init-groups "${@:2}"; }

# Runs the installed program as operator $1 against a simulated controller of two stands until
# it polls both, then closes it as a log-out does: in order, writing its configuration and the
# database.
run_program() {
  local user=$1 home=$work/$1
  setpriv --reuid="$user" --regid="$user" --init-groups /usr/bin/elevra-standsim --stands 2 --speed 0 --heights 30,40 --log "$home/sim/frames.log" > "$home/sim/out" &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$home/sim/out" ] && break; sleep 0.1; done
  local device
  device=$(head -n 1 "$home/sim/out")
  [ -n "$device" ] || fail "the stand simulator did not start"
  mkdir -p "$data/ports"
  ln -sfn "$device" "$data/ports/COM1"

  env -i PATH=/usr/bin:/bin HOME="$home/home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
    XDG_DATA_DIRS=/usr/share/ubuntu:/usr/local/share:/usr/share \
    setpriv --reuid="$user" --regid="$user" --init-groups /usr/bin/elevra > "$home/program.log" 2>&1 &
  program_pid=$!
  for _ in $(seq 300); do
    grep -q "OUT :1A" "$home/sim/frames.log" 2> /dev/null && grep -q "OUT :2A" "$home/sim/frames.log" && break
    kill -0 "$program_pid" 2> /dev/null || { cat "$home/program.log" >&2; fail "the program ended before it polled"; }
    sleep 0.1
  done
  grep -q "OUT :2A" "$home/sim/frames.log" || { cat "$home/program.log" >&2; fail "the program did not poll both stands"; }

  kill -TERM "$program_pid"
  for _ in $(seq 300); do kill -0 "$program_pid" 2> /dev/null || break; sleep 0.1; done
  if kill -0 "$program_pid" 2> /dev/null; then cat "$home/program.log" >&2; fail "the program of $user did not close"; fi
  wait "$program_pid" || fail "the program of $user ended with exit code $?"
  program_pid=
  kill "$sim_pid" && wait "$sim_pid" || true
  sim_pid=
}

# A mode of its own on the configuration, to see it kept; the default database goes, so that
# the close saves a new one as the operator.
printf '[Main]\nStands Displayed=2\n' > "$data/elevra.ini"
chmod 0660 "$data/elevra.ini"
rm "$data/DBase0.db"
# The second operator may write the shared configuration, so it may name the partner; the
# first operator's program must not run what it names.
as "$second" sh -c "printf 'Telvio Link Enabled=1\nTelvio Link Name=sh -c \"cd && id -un > partner-ran\" #\n' >> '$data/elevra.ini'"

run_program "$operator"
grep -q "^Stands Displayed=2" "$data/elevra.ini" || fail "the configuration lost its values"
grep -q "^Database Filename=/usr/share/Quillon/Vantora/DBase0.db" "$data/elevra.ini" || fail "the configuration was not written"
expect_status "$data/elevra.ini" "660 root elevra"
expect_status "$data/DBase0.db" "664 $operator elevra"
grep -q "^\[Preset49\]" "$data/DBase0.db" || fail "the database was not written"
[ ! -e "$work/$operator/home/partner-ran" ] || fail "the program ran the partner that another operator named"
grep -q "not started" "$work/$operator/program.log" || { cat "$work/$operator/program.log" >&2; fail "the program did not say why it started no partner"; }

# The second operator saves over the first one's database: the sticky folder lets nobody
# replace another's file, so the program rewrites it where it stands. Heights written as "0x0"
# read as 0 and are written back as "0", which shows the save; the database named in the
# configuration is gone, so the close saves the unchanged one to the default without asking.
sed 's/^P0=0$/P0=0x0/' "$data/DBase0.db" > "$work/marked.db"
cat "$work/marked.db" > "$data/DBase0.db"
sed -i 's|^Database Filename=.*|Database Filename=/usr/share/Quillon/Vantora/Database/gone.db|' "$data/elevra.ini"
run_program "$second"
[ "$(grep -c "^P0=0$" "$data/DBase0.db")" = 50 ] || fail "the second operator did not save the database"
grep -q "^Database Filename=/usr/share/Quillon/Vantora/DBase0.db" "$data/elevra.ini" || fail "the second operator's configuration was not written"
expect_status "$data/DBase0.db" "664 $operator elevra"
expect_status "$data/elevra.ini" "660 root elevra"

saved=$(sha256sum "$data/elevra.ini" "$data/DBase0.db")
apt-get remove -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "apt-get remove failed"; }
[ ! -e /usr/bin/elevra ] && [ ! -L /usr/share/Quillon/Vantora ] || fail "the program stayed after its removal"
install_package
[ "$(sha256sum "$data/elevra.ini" "$data/DBase0.db")" = "$saved" ] || fail "the reinstall changed what the operators saved"
expect_status "$data/elevra.ini" "660 root elevra"
expect_status "$data/DBase0.db" "664 $operator elevra"

# A member of the group plants links and files in a data folder that an older version laid
# out without sticky bits, and the package is installed again: root changes nothing outside
# the folder, writes through no link, says once what it leaves alone, and the configuration
# succeeds.
apt-get remove -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "apt-get remove failed"; }
chmod 2775 "$data" "$data/Database" "$data/RunOrder"
install -d -m 0755 "$work/decoy-folder"
printf 'secret\n' > "$work/decoy-file"
chmod 0600 "$work/decoy-file"
decoys() { stat -c '%n %a %U %G %s' "$work/decoy-folder" "$work/decoy-file"; ls -A "$work/decoy-folder"; }
before=$(decoys)
as "$operator" sh -ec "
  cd '$data'
  rmdir RunOrder && ln -s '$work/decoy-folder' RunOrder
  rmdir Database && : > Database
  rm elevra.ini && ln -s '$work/decoy-file' elevra.ini
  rm DBase0.db && ln -s '$work/planted-file' DBase0.db
  rm elevra.msg && ln -s '$work/decoy-folder' elevra.msg"
install_package
dpkg-query -W -f='${Status}' elevra | grep -q "install ok installed" || fail "the package is not configured"
[ "$(decoys)" = "$before" ] || fail "the configuration changed files outside $data: $(decoys)"
[ ! -e "$work/planted-file" ] || fail "the configuration wrote through a link"
for name in RunOrder Database elevra.ini DBase0.db; do
  [ "$(grep -c "^elevra: $data/$name .*; left alone" "$work/install.log")" = 1 ] || { cat "$work/install.log" >&2; fail "no single warning about $name"; }
done
sed -n 's/^elevra: /package test: the configuration said: /p' "$work/install.log"
[ "$(readlink "$data/RunOrder")" = "$work/decoy-folder" ] && [ -f "$data/Database" ] || fail "the planted entries were not left alone"
expect_status "$data" "3775 root elevra"

apt-get purge -y -q -o DPkg::Lock::Timeout=300 elevra > "$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "apt-get purge failed"; }
[ ! -e "$data" ] || fail "$data stayed after the purge"
[ "$(decoys)" = "$before" ] || fail "the purge changed files outside $data: $(decoys)"
echo "package test: passed in $(( $(date +%s) - started )) s"
