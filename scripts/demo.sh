#!/usr/bin/env bash
# Sets up and builds, lays out a demo data folder under build/demo and starts the program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

demo_root=$PWD/build/demo
data_folder=$demo_root/Quillon/Vantora
mkdir -p "$data_folder/Database" "$data_folder/RunOrder" "$data_folder/ports"
for f in elevra.ini elevra.msg DBase0.db; do
  [ -f "$data_folder/$f" ] || cp "data/$f" "$data_folder/$f"
done

# The stand controller: eight simulated stands on a pseudo-terminal at 9600-baud pace,
# reached by the program as COM1. It lives as long as the program does.
sim_out=$demo_root/standsim.out
: > "$sim_out"
build/bin/standsim --stands 8 --pace-baud 9600 --heights 30,42,55,38,61,47,25,50 --log "$demo_root/standsim.log" > "$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -s "$sim_out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "standsim did not start" >&2; exit 1; }
  sleep 0.1
done
sim_device=$(head -n 1 "$sim_out")
[ -n "$sim_device" ] || { echo "standsim did not report its device" >&2; exit 1; }
ln -sfn "$sim_device" "$data_folder/ports/COM1"
echo "standsim: 8 stands on $sim_device, linked as $data_folder/ports/COM1"

export XDG_DATA_DIRS="$demo_root:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
build/bin/elevra
