#!/usr/bin/env bash
# The on-line collection killed outright (SIGKILL) at random moments while simulated readers
# punch every second, and started again each time: the collector qrx-collect, and the on-line
# dialog of qrx as the upload test's victim runs it. The readers keep their memory in a state
# file and log every punch they make. At the end the punching stops, the last start collects
# what is left and is stopped, and the day's on-line file must hold every punched record exactly
# once, in each reader's order.
#   bench/kill-soak.sh BUILD_DIR [ROUNDS, default 50] [collector|dialog|both, default both]
# Prints, per program, the records punched, the lines written, the records missing, doubled,
# written without being punched, and the readers whose order differs; exits 1 on any of them.
# SIM_ARGS adds options to the simulator (SIM_ARGS="--lose-answer 7 --flip-bit 11" for a noisy
# line); KEEP=1 keeps the work folders. ERASE=1 gives the collector an --erase-at for each of the
# next minutes: the readers are erased (collected first) inside the run, and a record may then
# stand in the day's batch file instead of the on-line file — every punch must be on the disk,
# none twice in the on-line file.
set -euo pipefail
build=$(realpath "${1:?usage: bench/kill-soak.sh BUILD_DIR [ROUNDS] [collector|dialog|both]}")
rounds=${2:-50}
mode=${3:-both}
readers=4
sim="$build/sim/qrx-reader-sim"
collect="$build/src/qrx-collect"
victim="$build/tests/tst_upload"
case "$mode" in
collector) programs=(collector) ;;
dialog) programs=(dialog) ;;
both) programs=(collector dialog) ;;
*) echo "mode is collector, dialog or both, not $mode" >&2; exit 2 ;;
esac
for program in "$sim" "$collect" "$victim"; do
    [ -x "$program" ] || { echo "$program is not built" >&2; exit 2; }
done

work=
sim_pid=
run_pid=
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
    [ -n "$run_pid" ] && kill -9 "$run_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [ -n "$work" ] && [ -z "${KEEP:-}" ] && rm -rf "$work"
    return 0
}
trap cleanup EXIT

# Readers 1 to 4, punching every `$1` seconds (0: not at all), on the link COM2.
start_sim() {
    # shellcheck disable=SC2086 # SIM_ARGS is a list of options
    "$sim" --readers "$readers" --records 0 --punch-every "$1" --state sim.state \
        --punch-log punches.log ${SIM_ARGS:-} >> sim.out 2>&1 &
    sim_pid=$!
    for _ in $(seq 50); do [ -L COM2 ] && return; sleep 0.1; done
    echo "the simulator made no link" >&2
    exit 1
}

stop_sim() {
    kill -TERM "$sim_pid"
    wait "$sim_pid" || { echo "the simulator ended badly (sim.out)" >&2; exit 1; }
    sim_pid=
}

# The program under test, started in the work folder on the line at 9600 bit/s.
start_run() {
    local erase=()
    if [ -n "${ERASE:-}" ]; then
        for minutes in 1 2 3 4 5 6 7 8; do erase+=(--erase-at "$(date -d "+$minutes min" +%H:%M)"); done
    fi
    case "$1" in
    collector) "$collect" --workdir "$work" "${erase[@]}" 2>> run.log & ;;
    dialog) QT_QPA_PLATFORM=offscreen "$victim" --online-victim "$work/COM2" "$readers" \
        >> listed.log 2>> run.log & ;;
    esac
    run_pid=$!
}

# With ERASE, runs last longer, so that some live across a minute's turn and begin its erase.
random_pause() {
    awk -v seed="$RANDOM$RANDOM" -v most="${ERASE:+8}" \
        'BEGIN { srand(seed); printf "%.2f", 0.3 + rand() * ((most ? most : 3) - 0.3) }'
}

# Lines of every on-line file (a run over midnight writes two), without their CR; with ERASE,
# the batch files' lines after them, marked "B" so that a record in both is no double.
written() {
    cat DATA2/A*.TXT 2>/dev/null | tr -d '\r'
    [ -z "${ERASE:-}" ] || cat DATA2/B*.TXT 2>/dev/null | tr -d '\r' | sed 's/^/B /'
}

# Compares the punch log ("RR SSSSSS") with the files' lines ("RR-SSSSSS ...").
verdict() {
    awk -v erase="${ERASE:-}" '
        FNR == NR { key = $1 "-" $2; punched[key] = 1; order[$1] = order[$1] " " $2; ++made; next }
        $1 == "B" { if (!($2 in seen)) { seen[$2] = 1; ++lines; split($2, part, "-"); got[part[1]] = got[part[1]] " " part[2] } next }
        {
            ++lines
            if (++seen[$1] > 1) { ++doubled; next }
            if (!($1 in punched)) ++unpunched
            split($1, part, "-")
            got[part[1]] = got[part[1]] " " part[2]
        }
        END {
            for (key in punched) if (!(key in seen)) ++missing
            # Each reader: what was written, in file order, against what was punched of it.
            for (r in order) {
                n = split(order[r], want, " "); wanted = ""
                for (i = 1; i <= n; ++i) if ((r "-" want[i]) in seen) wanted = wanted " " want[i]
                if (!erase && wanted != got[r]) { disorder = disorder " " r }
            }
            printf "punched %d, written %d, missing %d, doubled %d, never punched %d, out of order:%s\n",
                made, lines, missing, doubled, unpunched, disorder == "" ? " none" : disorder
            exit (missing || doubled || unpunched || disorder != "") ? 1 : 0
        }' punches.log <(written)
}

soak() {
    local program=$1
    work=$(mktemp -d)
    cd "$work"
    mkdir DATA2
    printf '\x01\x03\x00\x01\x00\x04' > QRX.CFG # COM2, 9600 bit/s, 8N1, 4 readers
    start_sim 1
    for ((round = 1; round <= rounds; ++round)); do
        start_run "$program"
        sleep "$(random_pause)"
        kill -9 "$run_pid" 2>/dev/null || true
        wait "$run_pid" 2>/dev/null || true
        run_pid=
    done
    # The punching stops; the readers take up where they were, and the last run collects the rest.
    stop_sim
    start_sim 0
    start_run "$program"
    local made last=-1 quiet=0
    made=$(wc -l < punches.log)
    while :; do
        local now
        now=$(written | wc -l)
        [ "$now" -ge "$made" ] && break
        if [ "$now" -eq "$last" ]; then ((++quiet)); else quiet=0; fi
        [ "$quiet" -ge 100 ] && break # 10 s without a new line: what is missing stays missing
        last=$now
        sleep 0.1
    done
    sleep 1 # a record written twice comes right after the first
    kill -TERM "$run_pid" 2>/dev/null || true
    local rc=0
    wait "$run_pid" || rc=$?
    run_pid=
    stop_sim
    local result=0 line
    line=$(verdict) || result=1
    echo "$program, $rounds kills: $line; exit code after SIGTERM $rc"
    [ "$result" -eq 0 ] || echo "  kept in $work (punches.log, DATA2, run.log, sim.out)"
    cd /
    if [ "$result" -eq 0 ] && [ -z "${KEEP:-}" ]; then rm -rf "$work"; fi
    work=
    return "$result"
}

status=0
for program in "${programs[@]}"; do
    soak "$program" || status=1
done
exit "$status"
