#!/usr/bin/env bash
# The collector left running against simulated readers that punch every second, with the
# simulator killed outright and started again on the same link twice (the readers keep their
# memory in a state file, as real readers do while an adapter is out). Afterwards every punch the
# simulator made until the collector was stopped must be in the day's on-line file once, in
# order per reader; the log must show both losses and reconnections; the collector's resident
# memory is sampled every 10 s.
#   bench/collect-soak.sh [build-dir] [seconds, default 180] [line speed index 0-4, default 3]
set -euo pipefail
build=$(realpath "${1:-build-release}")
seconds=${2:-180}
speed=${3:-3}
sim="$build/sim/qrx-reader-sim"
collect="$build/src/qrx-collect"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
printf "\x01\x0${speed}\x00\x01\x00\x04" > QRX.CFG

start_sim() {
    "$sim" --readers 4 --records 0 --punch-every 1 --state sim.state --punch-log punches.log \
        >> sim.out 2>&1 &
    sim_pid=$!
    for _ in $(seq 50); do [ -L COM2 ] && return; sleep 0.1; done
    echo "the simulator made no link"; exit 1
}
rss() { awk '/VmRSS/ {print $2}' "/proc/$collect_pid/status"; }

start_sim
"$collect" --workdir "$work" 2> collect.log &
collect_pid=$!
samples=()
third=$((seconds / 3))
for ((t = 10; t <= seconds; t += 10)); do
    sleep 10
    samples+=("$t:$(rss)")
    if ((t == third || t == 2 * third)); then
        kill -9 "$sim_pid"; wait "$sim_pid" 2>/dev/null || true
        sleep 3
        start_sim
    fi
done
# The collector catches up with the punches (one a second, each visit takes a few ms) and is
# stopped; what the simulator punched up to then is what it must have collected.
file=DATA2/A$(date +%Y%m%d).TXT
for _ in $(seq 600); do
    made=$(wc -l < punches.log)
    [ -f "$file" ] && [ "$(wc -l < "$file")" -ge "$made" ] && break
    sleep 0.1
done
kill -TERM "$collect_pid"
wait "$collect_pid" && rc=0 || rc=$?
head -n "$made" punches.log > punched.log

# The file's "RR-SSSSSS" against the punch log's "RR SSSSSS", reader by reader.
verdict=ok
for r in 01 02 03 04; do
    want=$(awk -v r="$r" '$1 == r {print $2}' punched.log | tr '\n' ' ')
    got=$(tr -d '\r' < "$file" | awk -F'[- ]' -v r="$r" '$1 == r {print $2}' | tr '\n' ' ')
    if [ "$want" != "$got" ]; then
        verdict=FAILED
        echo "reader $r: punched [$want]"
        echo "reader $r: in file [$got]"
    fi
done
lines=$(wc -l < "$file")
losses=$(grep -c 'port COM2 lost' collect.log || true)
back=$(grep -c 'again after' collect.log || true)
echo "punches made: $made; lines in $file: $lines; every punch once, in order: $verdict"
echo "log: $losses losses, $back reconnections; collector exit code $rc"
echo "resident memory (s:kB): ${samples[*]}"
grep -E 'lost|again after|does not answer|answers again|stopped' collect.log | sed 's/^/  /'
[ "$verdict" = ok ] && [ "$losses" -eq 2 ] && [ "$back" -eq 2 ] && [ "$rc" -eq 0 ]
