#!/usr/bin/env bash
# What the program costs while nothing happens: CPU ticks (from
# /proc/<pid>/stat) and futex calls (strace -c) over a fixed time, for
#   - an empty Qt program (the yardstick),
#   - Quenor waiting for a port that is not there,
#   - Quenor connected to the simulated motor, left alone (it polls the
#     motor's status registers, as it does beside a real motor).
#
#   bash bench/idle_cost.sh [build-folder] [seconds]     # defaults: build, 10
#
# Needs strace, and quenor, motorsim and bench_idle_empty built in the build
# folder. Runs offscreen unless QT_QPA_PLATFORM (or a DISPLAY with
# QT_QPA_PLATFORM=xcb) says otherwise; settings and data go to a private
# temporary folder that is removed at the end.
set -euo pipefail

build=${1:-build}
secs=${2:-10}
quenor=$build/app/quenor
sim=$build/tools/motorsim/motorsim
empty=$build/bench/bench_idle_empty
for f in "$quenor" "$sim" "$empty"; do
    if [[ ! -x $f ]]; then
        echo "missing $f: cmake --build $build --target quenor motorsim bench_idle_empty" >&2
        exit 1
    fi
done
command -v strace >/dev/null || { echo "strace is needed" >&2; exit 1; }

work=$(mktemp -d)
running=()
cleanup()
{
    for p in "${running[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# utime + stime of a process or thread, in clock ticks (100 a second).
ticks() { awk '{ print $14 + $15 }' "$1"; }

# Futex calls of a process over $secs seconds: only the thread given (the GUI
# thread, whose id is the process id) without -f, every thread with -f.
futexes()
{
    { timeout -s INT "$secs" strace $2 -c -e trace=futex -p "$1" 2>&1 >/dev/null || true; } |
        awk '$NF == "futex" { n = $4 } END { print n + 0 }'
}

printf '%-38s %12s %12s %14s %14s\n' "$secs s" "ticks all" "ticks GUI" "futex/s GUI" "futex/s all"
measure()
{
    local name=$1 pid=$2
    sleep 5  # start-up and the first connect are over
    local p0 g0 p1 g1
    p0=$(ticks "/proc/$pid/stat")
    g0=$(ticks "/proc/$pid/task/$pid/stat")
    sleep "$secs"
    p1=$(ticks "/proc/$pid/stat")
    g1=$(ticks "/proc/$pid/task/$pid/stat")
    local gui all
    gui=$(futexes "$pid" "")
    all=$(futexes "$pid" -f)
    awk -v n="$name" -v p=$((p1 - p0)) -v g=$((g1 - g0)) -v fg="$gui" -v fa="$all" -v s="$secs" \
        'BEGIN { printf "%-38s %12d %12d %14.1f %14.1f\n", n, p, g, fg / s, fa / s }'
}

"$empty" >/dev/null 2>&1 &
running+=($!)
measure "empty Qt program" "$!"
kill "${running[-1]}"

QUENOR_COM1=$work/no-such-port "$quenor" >/dev/null 2>&1 &
running+=($!)
measure "Quenor, COM1 not there" "$!"
kill "${running[-1]}"

"$sim" --family 0 >"$work/sim.out" 2>"$work/sim.err" &
simpid=$!
running+=($simpid)
for _ in $(seq 50); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
QUENOR_COM1=$(head -n 1 "$work/sim.out") "$quenor" >/dev/null 2>&1 &
running+=($!)
measure "Quenor, connected, left alone" "$!"
kill "${running[-1]}"
kill -INT "$simpid"
wait "$simpid" 2>/dev/null || true
echo "(the simulated motor: $(grep -o '[0-9]* frames received' "$work/sim.err" || echo 'no frames'))"
