#!/usr/bin/env bash
# Runs the serial tests of tests/guest (tst_guest) inside a QEMU guest on the kernel's own
# drivers, and serves the guest's requests for the line on the host:
#   an FTDI adapter (usb-serial on an xHCI controller, serial number QRXGUEST) and a 16550
#   (isa-serial, ttyS1), each on a `serial` chardev that opens the pseudo-terminal of a simulator
#   qrx-reader-sim of this build, so that the simulator sees the speed the guest's driver set.
# The guest asks through files in the shared work folder: it writes host/req.N, one line
#   sim ftdi|uart ARGS...  the simulator of that line started afresh in NAME/ with ARGS
#   stop ftdi|uart         that simulator stopped (its punch log and state complete)
#   pull | plug            the adapter pulled (QMP device_del) or plugged back (device_add)
#   break                  a break on the 16550's line
# and waits for host/done.N, which holds "ok" or the error. A missing QEMU is a failure.
#   tests/guest/guest-test.sh BUILD_DIR [tst_guest arguments]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:?usage: guest-test.sh BUILD_DIR [test arguments]}")
shift
image=$("$here/guest-image.sh")
sim=$build/sim/qrx-reader-sim
test=$build/tests/tst_guest
for program in "$sim" "$test"; do [ -x "$program" ] || { echo "guest-test: no $program" >&2; exit 1; }; done

work=$(mktemp -d "${TMPDIR:-/tmp}/qrx-guest.XXXXXX")
rig=$(mktemp -d "${TMPDIR:-/tmp}/qrx-rig.XXXXXX") # not shared: QMP's pipes
qemu_pid=
declare -A sim_pid=()
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
    [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null && wait "$qemu_pid" 2>/dev/null
    for line in "${!sim_pid[@]}"; do stop_sim "$line"; done
    rm -rf "$rig"
    if [ -n "${KEEP:-}" ]; then echo "guest-test: work folder kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP # through the EXIT trap: no QEMU or simulator left behind
mkdir -p "$work/host" "$work/home" "$work/ftdi" "$work/uart"
{
    echo "export HOME=$work/home QT_QPA_PLATFORM=offscreen QRX_GUEST_WORK=$work"
    printf 'exec %q' "$test"
    [ $# -eq 0 ] || printf ' %q' "$@"
    echo
} > "$work/guest-command"

# QMP on a pair of pipes (QEMU reads qmp.in and writes qmp.out), opened read-write so that
# neither end waits for the other.
mkfifo "$rig/qmp.in" "$rig/qmp.out"
exec 7<>"$rig/qmp.in" 8<>"$rig/qmp.out"
events=""
# qmp JSON: sends a command and reads up to its answer; events met on the way are kept.
qmp() {
    printf '%s\n' "$1" >&7
    local reply
    while IFS= read -r -t 30 reply <&8; do
        case $reply in
        *'"return"'*) return 0 ;;
        *'"error"'*) echo "$reply"; return 1 ;;
        *'"event"'*) events+="$reply"$'\n' ;;
        esac
    done
    echo "no answer from QEMU to $1"
    return 1
}
# wait_event NAME: until QEMU has sent the event (the guest has let go of an unplugged device).
wait_event() {
    local reply
    until [[ $events == *"\"$1\""* ]]; do
        IFS= read -r -t 30 reply <&8 || { echo "no $1 from QEMU"; return 1; }
        events+="$reply"$'\n'
    done
    events=""
}

adapter_in=false
ftdi_chardev=false
pull() {
    $adapter_in || { echo "the adapter is not plugged in"; return 1; }
    qmp '{"execute":"device_del","arguments":{"id":"adapter"}}' && wait_event DEVICE_DELETED
    adapter_in=false
}
plug() {
    $adapter_in && { echo "the adapter is plugged in already"; return 1; }
    qmp '{"execute":"device_add","arguments":{"driver":"usb-serial","id":"adapter","chardev":"ftdi","serial":"QRXGUEST"}}'
    adapter_in=true
}

stop_sim() {
    local pid=${sim_pid[$1]:-}
    [ -n "$pid" ] || return 0
    unset "sim_pid[$1]"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -f "$work/$1/LINE"
}
# start_sim LINE ARGS...: a simulator in LINE/ on a pseudo-terminal linked as LINE/LINE, whose
# path it leaves in $tty.
start_sim() {
    local line=$1
    shift
    # A fresh start: no state or punch log of the simulator before; its output is kept.
    find "$work/$line" -mindepth 1 ! -name sim.out -delete
    (cd "$work/$line" && exec "$sim" --link LINE "$@" >> sim.out 2>&1) &
    sim_pid[$line]=$!
    for _ in $(seq 100); do
        tty=$(readlink "$work/$line/LINE") && return 0
        sleep 0.05
    done
    echo "the simulator of the $line line made no link"
    return 1
}
# The adapter leaves, its chardev is closed before its simulator goes, a new one opens the
# new simulator's terminal and the adapter comes back on it.
new_ftdi_sim() {
    if $adapter_in; then pull || return 1; fi
    if $ftdi_chardev; then
        qmp '{"execute":"chardev-remove","arguments":{"id":"ftdi"}}' || return 1
        ftdi_chardev=false
    fi
    stop_sim ftdi
    start_sim ftdi "$@" || return 1
    qmp '{"execute":"chardev-add","arguments":{"id":"ftdi","backend":{"type":"serial","data":{"device":"'"$tty"'"}}}}' ||
        return 1
    ftdi_chardev=true
    plug
}
# The 16550 cannot be unplugged: its chardev is changed under it.
new_uart_sim() {
    qmp '{"execute":"chardev-change","arguments":{"id":"uart","backend":{"type":"null","data":{}}}}' || return 1
    stop_sim uart
    start_sim uart "$@" || return 1
    qmp '{"execute":"chardev-change","arguments":{"id":"uart","backend":{"type":"serial","data":{"device":"'"$tty"'"}}}}'
}

serve() {
    local -a words
    read -r -a words < "$1"
    case "${words[0]:-} ${words[1]:-}" in
    "sim ftdi") new_ftdi_sim "${words[@]:2}" ;;
    "sim uart") new_uart_sim "${words[@]:2}" ;;
    "stop ftdi" | "stop uart") stop_sim "${words[1]}" ;;
    "pull "*) pull ;;
    "plug "*) plug ;;
    "break "*) qmp '{"execute":"chardev-send-break","arguments":{"id":"uart"}}' ;;
    *) echo "unknown request: ${words[*]}"; return 1 ;;
    esac
}

qemu-system-x86_64 -accel tcg -cpu max -M q35 -smp 1 -m 1024 -nodefaults -display none -no-reboot \
    -kernel "$image/vmlinux" -initrd "$image/initrd.cpio" \
    -append "console=ttyS0 quiet panic=-1 qrxwork=$work qrxinit=$here/guest-init.sh" \
    -serial "file:$work/console.log" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$work,mount_tag=work,security_model=none" \
    -chardev "pipe,id=qmp,path=$rig/qmp" -mon chardev=qmp,mode=control \
    -device qemu-xhci,id=xhci \
    -chardev null,id=uart -device isa-serial,index=1,chardev=uart &
qemu_pid=$!
IFS= read -r -t 30 _ <&8 || { echo "guest-test: QEMU did not start" >&2; exit 1; }
qmp '{"execute":"qmp_capabilities"}' >/dev/null

# The guest's requests, one after the other, until it powers off (or 10 minutes pass).
n=0
for _ in $(seq 12000); do
    kill -0 "$qemu_pid" 2>/dev/null || break
    request=$work/host/req.$n
    if [ -f "$request" ]; then
        # In this shell, not a subshell: it keeps the adapter's and the simulators' state.
        serve "$request" > "$rig/answer" 2>&1 && echo ok > "$rig/answer"
        echo "host: $(cat "$request") -> $(cat "$rig/answer")" >> "$work/host.log"
        cp "$rig/answer" "$work/host/done.$n.tmp"
        mv "$work/host/done.$n.tmp" "$work/host/done.$n"
        n=$((n + 1))
    else
        sleep 0.05
    fi
done
kill "$qemu_pid" 2>/dev/null && echo "guest-test: the guest did not end in time" >&2
wait "$qemu_pid" || true
qemu_pid=
cat "$work/guest.log" 2>/dev/null || { echo "guest-test: the guest ran nothing" >&2; cat "$work/console.log" >&2; }
[ -f "$work/guest.rc" ] && exit "$(cat "$work/guest.rc")"
exit 1
