#!/usr/bin/env bash
# Many vek.exe at once against two live stand-in hosts, A and B (usage below), in
# waves started at the same instant in one directory holding vek.ini; each request
# carries an id used once, and the hosts print what they take. A run still going
# after 60 s is killed. Left in build/stress: the hosts' output, each run's files.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

usage() {
    cat >&2 <<'USAGE'
usage: bash scripts/stress.sh [--idle SECONDS] [--idle-every N] [WAVES]
  WAVES (40) of three INITs pointing vek.ini at A and B in turn and five events, each
  run ending 0 and silent, each event arriving once, vek.ini whole; --idle leaves the
  hosts idle SECONDS before every (N-th) wave (from 5 s on the hung-window check counts).
usage: bash scripts/stress.sh --hosts-fail [RUNS]
  RUNS (200) in waves of two INITs, four events, two FILEs and two DROPs, A published as
  Sakura; a third in A stops for 12 s, two thirds in B is killed. A run ending 0 must have
  delivered once; any other must say why. Reports are in Wine's locale (VEK_LC_ALL=C: English).
USAGE
    exit 2
}

count="" idle=0 idle_every=1 fail=0
while [ $# -gt 0 ]; do
    case "$1" in
        --idle) [ $# -ge 2 ] || usage; idle="$2"; shift 2 ;;
        --idle-every) [ $# -ge 2 ] || usage; idle_every="$2"; shift 2 ;;
        --hosts-fail) fail=1; shift ;;
        *) count="$1"; shift ;;
    esac
done
kinds=(init init init event event event event event)
if [ "$fail" = 1 ]; then kinds=(init init event event event event file file drop drop); fi
for v in "${count:-1}" "$idle" "$idle_every"; do [[ "$v" =~ ^[0-9]+$ ]] || usage; done
waves="${count:-40}"
if [ "$fail" = 1 ]; then waves=$(((${count:-200} + ${#kinds[@]} - 1) / ${#kinds[@]})); fi
if [ "$waves" -lt 1 ] || [ "$idle_every" -lt 1 ]; then usage; fi

vek_install_deps
vek_build windows-x64 vek vekhost
vek_on_display
work="$VEK_ROOT/build/stress" exe="$VEK_ROOT/build/windows-x64/vek.exe"
rm -rf "$work" && mkdir -p "$work/run" "$work/waves" && cd "$work"
printf 'line %d\r\n' 0 1 2 3 4 >run/small.txt

publish=()
if [ "$fail" = 1 ]; then publish=(--publish Sakura); fi
vek_host_start A --title "VEK stress host A" "${publish[@]}" >A.out 2>&1
vek_host_start B --title "VEK stress host B" >B.out 2>&1
a="$(tr -d '\r\n' <A/vek.ini)" b="$(tr -d '\r\n' <B/vek.ini)"
cp A/vek.ini run/vek.ini
vek_log "host A is window $a, host B is window $b; $waves waves of ${#kinds[@]} runs"

# One vek.exe ARG in run/, its standard error into RUN.err, the files its processes looked up
# into RUN.trace, killed after 60 s: run_vek ARG RUN.
run_vek() {
    (cd run && exec timeout -k 5 60 strace -f -qq --seccomp-bpf -e trace=execve,newfstatat -e signal=none \
        -o "../$2.trace" "$VEK_ROOT/cmake/wine.sh" "$exe" "$1") </dev/null >/dev/null 2>"$2.err" 5>&-
}
strace -qq -e trace=none true || { echo "strace cannot trace here" >&2 && exit 1; }
# Now and then a run ends with 1 and says nothing. Every INIT, event, FILE and DROP looks
# vek.ini up before it can fail, and reports any failure after: a silent run whose processes
# never looked vek.ini up was lost by Wine before vek.exe's own code ran, and runs again. One
# that did is a fault.
lost_start=1
# Each run takes a shared lock on the gate before it starts vek.exe; this
# shell holds it exclusively until all of a wave's runs are there.
exec 5>gate.lock && : >again.txt
started=$SECONDS hosts_died=0 ini_broken=0 thaw=""
for ((wave = 1; wave <= waves; wave++)); do
    if [ "$idle" -gt 0 ] && ((wave % idle_every == 0)); then sleep "$idle"; fi
    if [ "$fail" = 1 ] && [ "$wave" = $((waves / 3 + 1)) ]; then
        vek_log "host A stops for 12 s"
        kill -STOP "${VEK_HOST_PID[A]}"
        (sleep 12 && kill -CONT "${VEK_HOST_PID[A]}") 5>&- &
        thaw=$!
    elif [ "$fail" = 1 ] && [ "$wave" = $((2 * waves / 3 + 1)) ]; then
        vek_log "host B is killed"
        kill -KILL "${VEK_HOST_PID[B]}"
        wait "${VEK_HOST_PID[B]}" 2>/dev/null || true
    fi
    dir="waves/$(printf %03d "$wave")" && mkdir -p "$dir"
    flock -x 5
    pids=() runs=()
    for k in "${!kinds[@]}"; do
        id=$(((wave - 1) * ${#kinds[@]} + k + 1)) target="$b"
        if (((wave + k) % 2 == 0)); then target="$a"; fi
        case "${kinds[k]}" in
            init) arg="INIT#$target" ;;
            event) arg="OnStress#$id" ;;
            file) arg="FILE#small.txt/$id-$((id + 2))" ;;
            drop) arg="DROP#small.txt" ;;
        esac
        runs+=("$dir/$id-${kinds[k]}")
        echo "$arg" >"${runs[k]}.arg"
        (flock -s gate.lock true && run_vek "$arg" "${runs[k]}") 5>&- &
        pids+=("$!")
    done
    flock -u 5
    failed=0
    for k in "${!pids[@]}"; do
        rc=0
        wait "${pids[k]}" || rc=$?
        # A run Wine lost before vek.exe ran runs once more; over 1 in 100
        # is a fault, as is an event that arrives twice.
        if [ "$rc" = "$lost_start" ] && [ ! -s "${runs[k]}.err" ] && ! grep -q 'vek\.ini' "${runs[k]}.trace"; then
            mv "${runs[k]}.trace" "${runs[k]}.lost.trace"
            echo "${runs[k]} ($(<"${runs[k]}.arg")): ended with $rc, saying nothing, vek.ini never looked up: run again" | tee -a again.txt
            rc=0 && run_vek "$(<"${runs[k]}.arg")" "${runs[k]}" || rc=$?
        fi
        echo "$rc" >"${runs[k]}.rc"
        [ "$rc" = 0 ] || failed=$((failed + 1))
    done
    if ! printf '%s\r\n' "$a" | cmp -s - run/vek.ini && ! printf '%s\r\n' "$b" | cmp -s - run/vek.ini; then
        ini_broken=$((ini_broken + 1))
        echo "wave $wave: vek.ini holds:$(od -An -c run/vek.ini | tr -s ' \n' ' ')" >>failures.txt
        cp A/vek.ini run/vek.ini  # so that one broken wave does not spoil the rest
    fi
    printf 'wave %d/%d  %3d s  %d of %d ended non-zero\n' "$wave" "$waves" $((SECONDS - started)) "$failed" "${#kinds[@]}"
    if [ "$fail" = 0 ] && ! kill -0 "${VEK_HOST_PID[A]}" "${VEK_HOST_PID[B]}" 2>/dev/null; then
        hosts_died=1 && break
    fi
done
elapsed=$((SECONDS - started))
exec 5>&-
if [ -n "$thaw" ]; then wait "$thaw"; fi  # A goes on before it is stopped
vek_host_stop A B

# What the hosts took: "COUNT event ID", "COUNT file ID", "COUNT drop" (Wine
# hides the files of another process's drop: drops are counted together).
awk '{ sub(/\r$/, "") }
    /^--- WM_DROPFILES/ { print "drop" }
    /^Event: / { event = $2 }
    event == "OnStress" && /^Reference0: / { print "event", $2 }
    event == "OnFileRead" && /^Reference1: / { print "file", $2 }
    /^---$/ { event = "" }' A.out B.out | sort | uniq -c >delivered.txt
declare -A got=() n=()
while read -r times kind id; do got["$kind${id:-}"]=$times; done <delivered.txt
for key in runs once init lost not_sent broken maybe0 maybe1 twice silent fault said drop0 drop1 drop2; do n[$key]=0; done
n[again]=$(wc -l <again.txt)
: >reports.txt
# Each exit code is a promise: 0, delivered once (a drop: taken); 1, never delivered; 2, at most
# once. Anything else, or a failure saying nothing, is a fault. Drops are counted together.
for rc_file in waves/*/*.rc; do
    run="${rc_file%.rc}" kind="${rc_file##*-}" kind="${kind%.rc}" id="${run##*/}" id="${id%-*}"
    rc="$(<"$rc_file")" times="${got[$kind$id]:-0}" verdict=""
    tr -d '\r' <"$run.err" | grep . >>reports.txt || true
    if [ "$times" -gt 1 ]; then verdict=twice
    elif [ "$rc" != 0 ] && [ ! -s "$run.err" ]; then verdict=silent
    elif [ "$rc" = 0 ] && [ -s "$run.err" ]; then verdict=said
    elif [ "$rc" -gt 2 ]; then verdict=fault
    elif [ "$kind" = drop ]; then verdict=drop$rc
    elif [ "$rc" = 0 ] && [ "$kind" = init ]; then verdict=init
    elif [ "$rc" = 0 ]; then verdict=once; [ "$times" = 1 ] || verdict=lost
    elif [ "$rc" = 1 ]; then verdict=not_sent; [ "$times" = 0 ] || verdict=broken
    else verdict=maybe$times; fi
    n[runs]=$((n[runs] + 1)) n[$verdict]=$((n[$verdict] + 1))
    case "$verdict" in once | init | drop0) ;; *)
        echo "$run ($(<"$run.arg")): $verdict, exit $rc: $(tr -d '\r' <"$run.err" | tr '\n' ' ')" >>failures.txt ;;
    esac
done
drops="${got[drop]:-0}"
drops_lost=$((n[drop0] > drops ? n[drop0] - drops : 0))
drops_extra=$((drops > n[drop0] + n[drop2] ? drops - n[drop0] - n[drop2] : 0))
stray_tmp="$(find run -name 'vek.ini.~*' | wc -l)"

vek_log "summary: ${n[runs]} runs in $waves waves, $elapsed s (host A $a, host B $b)"
row() { printf '%-60s %s\n' "$@"; }
row "exit 0, INIT done" "${n[init]}"
row "exit 0, event or FILE delivered exactly once" "${n[once]}"
row "exit 0, event or FILE delivered nowhere (LOST)" "${n[lost]}"
row "exit 1 (not delivered), INIT, event or FILE never delivered" "${n[not_sent]}"
row "exit 1 (not delivered), yet delivered (BROKEN PROMISE)" "${n[broken]}"
row "exit 2 (may have been delivered): delivered once / not" "${n[maybe1]} / ${n[maybe0]}"
row "delivered more than once" "${n[twice]}"
row "exit non-zero without a report (or killed after 60 s)" "${n[silent]}"
row "exit 3 or above (internal error)" "${n[fault]}"
row "exit 0, yet something on standard error" "${n[said]}"
row "Wine lost it before vek.exe read vek.ini (exit $lost_start, silent): run again" "${n[again]} (1 in 100 allowed)"
row "DROP: exit 0 / 1 / 2; taken by the hosts" "${n[drop0]} / ${n[drop1]} / ${n[drop2]}; $drops"
row "DROP: exit 0 but not taken (LOST) / taken beyond exit 0 and 2" "$drops_lost / $drops_extra"
row "waves that left vek.ini not whole" "$ini_broken"
row "temporary files left beside vek.ini" "$stray_tmp"
if [ "$fail" = 0 ]; then row "a host ended during the run" "$hosts_died"; fi
if [ -s reports.txt ]; then
    echo "standard error of the runs, each distinct line with its count:"
    sort reports.txt | uniq -c | sort -rn | sed 's/^/  /'
fi
faults=$((n[again] * 100 > n[runs] ? n[again] : 0))
faults=$((faults + n[lost] + n[broken] + n[twice] + n[silent] + n[fault] + n[said] + drops_lost + drops_extra))
faults=$((faults + ini_broken + stray_tmp))
if [ "$fail" = 0 ]; then
    faults=$((faults + n[not_sent] + n[maybe0] + n[maybe1] + n[drop1] + n[drop2] + hosts_died + waves * ${#kinds[@]} - n[runs]))
fi
if [ "$faults" != 0 ] && [ -s failures.txt ]; then
    echo "what went wrong, run by run (exit code, standard error):" && sed 's/^/  /' failures.txt
fi
echo "(details: $work/failures.txt, $work/waves/)"
[ "$faults" = 0 ]
