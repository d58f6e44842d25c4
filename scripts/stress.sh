#!/usr/bin/env bash
# Many vek.exe at once against two live stand-in hosts, A and B, for a bounded
# number of rounds: what a user's scripts do when several of them fire
# together. Each round starts, at the same instant and in one directory
# holding vek.ini, three INIT runs that point vek.ini at A or B in turn and
# five event runs, OnStress#<round>-<k>, each id used once in the whole run.
#
#   bash scripts/stress.sh [--idle SECONDS] [--idle-every N] [ROUNDS]
#
#   ROUNDS            rounds to run (default 40)
#   --idle SECONDS    leave both hosts without a single message for SECONDS
#                     before a round. A host's window that has taken nothing
#                     for more than five seconds is where the system's hung
#                     window check starts to matter, so 6 is the useful value.
#   --idle-every N    idle only before every N-th round (default 1: all)
#
# After each round vek.ini must hold exactly one of the two handles and CR LF.
# At the end one summary: INIT runs that failed, each event delivered exactly
# once, lost or delivered more than once (counted from both hosts' logs),
# "not responding" reports although both hosts were alive, runs that had to be
# killed, and every distinct line seen on the runs' standard error with its
# count. The exit code is 0 only when all of that held.
#
# A run that has written its report to standard error and has not ended a
# few seconds later waits for something nobody will do (a message box): it is
# killed and counted as waited; any run still going after 60 s is killed too.
# That keeps a round that fails to about a minute at worst.
#
# The system's messages in the reports come in the language of the locale Wine
# runs in: Japanese by default (see lib.sh), English with VEK_LC_ALL=C.
#
# Everything a run leaves is under build/stress: the hosts' logs, each run's
# standard error and exit code (rounds/NNN/), and failures.txt.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

usage() {
    sed -n '8,15p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

rounds=40 idle=0 idle_every=1
while [ $# -gt 0 ]; do
    case "$1" in
        --idle) [ $# -ge 2 ] || usage; idle="$2"; shift 2 ;;
        --idle-every) [ $# -ge 2 ] || usage; idle_every="$2"; shift 2 ;;
        -h | --help) usage ;;
        *) rounds="$1"; shift ;;
    esac
done
for n in "$rounds" "$idle" "$idle_every"; do
    [[ "$n" =~ ^[0-9]+$ ]] || usage
done
[ "$rounds" -ge 1 ] && [ "$idle_every" -ge 1 ] || usage

stress() {
    set -euo pipefail
    local rounds="$1" idle="$2" idle_every="$3"
    local bin="$VEK_ROOT/build/windows-x64" work="$VEK_ROOT/build/stress"
    local run_limit=60 report_grace=4
    rm -rf "$work" && mkdir -p "$work/hostA" "$work/hostB" "$work/run" "$work/rounds"
    cd "$work"

    # The hosts live for the whole run and end when their standard input
    # closes; --quit-after only bounds a run whose shell died without closing it.
    local quit_ms=$(((rounds * (idle + run_limit + 15) + 120) * 1000))
    [ "$quit_ms" -gt 4000000000 ] && quit_ms=4000000000
    local name pids=()
    for name in A B; do
        mkfifo "host$name.stdin"
        vek_wine "$bin/vekhost.exe" --ini "$(vek_winpath "$work/host$name")" \
            --log "$(vek_winpath "$work/host$name.log")" --title "VEK stress host $name" \
            --until-stdin-closes --quit-after "$quit_ms" <"host$name.stdin" >"host$name.out" 2>&1 &
        pids+=("$!")
    done
    exec 3>hostA.stdin 4>hostB.stdin
    for _ in $(seq 600); do
        [ -s hostA/vek.ini ] && [ -s hostB/vek.ini ] && break
        sleep 0.1
    done
    local a b
    a="$(tr -d '\r\n' <hostA/vek.ini 2>/dev/null || true)"
    b="$(tr -d '\r\n' <hostB/vek.ini 2>/dev/null || true)"
    if ! [[ "$a" =~ ^[0-9]+$ && "$b" =~ ^[0-9]+$ ]]; then
        echo "the stand-in hosts did not start (see $work/hostA.out, hostB.out)" >&2
        return 1
    fi
    local plan="$rounds rounds"
    if [ "$idle" -gt 0 ]; then
        plan+=", the hosts idle $idle s before every"
        [ "$idle_every" -gt 1 ] && plan+=" $idle_every."
        plan+=" round"
    fi
    vek_log "host A is window $a, host B is window $b; $plan"
    cp hostA/vek.ini run/vek.ini

    # Every run holds a shared lock on this file before it starts vek.exe;
    # this shell holds it exclusively until all of a round's runs are there.
    local gate="$work/gate.lock"
    : >"$gate"
    exec 5>"$gate"

    local started=$SECONDS round k ini_broken=0 hosts_died=0
    for ((round = 1; round <= rounds; round++)); do
        if [ "$idle" -gt 0 ] && ((round % idle_every == 0)); then sleep "$idle"; fi
        local dir
        dir="$work/rounds/$(printf %03d "$round")"
        mkdir -p "$dir"
        flock -x 5
        local run_pids=() run_names=() args=()
        for k in 1 2 3; do
            # INIT runs point vek.ini at A and B in turn, so each round changes it.
            if (((round + k) % 2 == 0)); then args+=("INIT#$a"); else args+=("INIT#$b"); fi
            run_names+=("init$k")
        done
        for k in 1 2 3 4 5; do
            args+=("OnStress#$round-$k")
            run_names+=("event$k")
        done
        local i
        for i in "${!args[@]}"; do
            echo "${args[$i]}" >"$dir/${run_names[$i]}.arg"
            (cd "$work/run" && exec timeout -k 5 "$run_limit" bash -c \
                'source "$0"; flock -s "$1" true; shift; vek_wine "$@"' \
                "$VEK_ROOT/scripts/lib.sh" "$gate" "$bin/vek.exe" "${args[$i]}" \
                </dev/null >/dev/null 2>"$dir/${run_names[$i]}.err") &
            run_pids+=("$!")
        done
        flock -u 5

        # Waits for the round's runs; one that has reported and then lingers
        # is sitting in its message box.
        local live=${#run_pids[@]} reported_at=() done_=()
        for i in "${!run_pids[@]}"; do reported_at[i]=0 done_[i]=0; done
        while [ "$live" -gt 0 ]; do
            sleep 0.2
            for i in "${!run_pids[@]}"; do
                [ "${done_[i]}" -eq 1 ] && continue
                if ! kill -0 "${run_pids[i]}" 2>/dev/null; then
                    local rc=0
                    wait "${run_pids[i]}" || rc=$?
                    echo "$rc" >"$dir/${run_names[i]}.rc"
                    done_[i]=1 live=$((live - 1))
                    continue
                fi
                if [ "${reported_at[i]}" -eq 0 ] && grep -q . "$dir/${run_names[i]}.err"; then
                    reported_at[i]=$SECONDS
                elif [ "${reported_at[i]}" -ne 0 ] &&
                    ((SECONDS - reported_at[i] >= report_grace)) &&
                    [ ! -e "$dir/${run_names[i]}.killed" ]; then
                    : >"$dir/${run_names[i]}.killed"
                    kill -TERM "${run_pids[i]}" 2>/dev/null || true
                fi
            done
        done
        # timeout's own verdict: the run had not ended after run_limit seconds.
        for i in "${!run_pids[@]}"; do
            local rc
            rc="$(cat "$dir/${run_names[i]}.rc")"
            if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then : >"$dir/${run_names[i]}.killed"; fi
        done

        if ! printf '%s\r\n' "$a" | cmp -s - run/vek.ini &&
            ! printf '%s\r\n' "$b" | cmp -s - run/vek.ini; then
            ini_broken=$((ini_broken + 1))
            echo "round $round: vek.ini holds:$(od -An -c run/vek.ini 2>&1 | tr -s ' \n' ' ')" \
                >>"$work/failures.txt"
            # Put it right, so that one broken round does not spoil the rest.
            cp hostA/vek.ini run/vek.ini
        fi
        for i in 0 1; do
            if ! kill -0 "${pids[i]}" 2>/dev/null; then hosts_died=1; fi
        done
        local failed=""
        for i in "${!run_names[@]}"; do
            if [ "$(cat "$dir/${run_names[i]}.rc")" != 0 ] || [ -s "$dir/${run_names[i]}.err" ]; then
                failed+=" ${run_names[i]}"
            fi
        done
        printf 'round %d/%d  %3d s%s\n' "$round" "$rounds" $((SECONDS - started)) \
            "${failed:+  failed:$failed}"
        [ "$hosts_died" -eq 0 ] || break
    done
    local elapsed=$((SECONDS - started)) rounds_run=$((round > rounds ? rounds : round))

    exec 3>&- 4>&- 5>&-
    wait "${pids[@]}" || true
    wineserver -w
    summarize "$work" "$rounds_run" "$elapsed" "$ini_broken" "$hosts_died" "$a" "$b"
}

# Reads what the rounds left and prints the verdict; fails unless all held.
summarize() {
    local work="$1" rounds_run="$2" elapsed="$3" ini_broken="$4" hosts_died="$5" a="$6" b="$7"
    cd "$work"
    # Each event id the hosts received, once per WM_COPYDATA that carried it.
    local log
    for log in hostA.log hostB.log; do
        perl -ne 'if (/^COPYDATA .*dwData=9801 .*hex=([0-9a-f]*)/) {
                      my $b = pack("H*", $1);
                      print "$1\n" if $b =~ /\r\nEvent: OnStress\r\nReference0: ([0-9]+-[0-9]+)\r\n/;
                  }' "$log"
    done | sort | uniq -c | awk '{print $2, $1}' >delivered.txt

    local init_failed=0 killed=0 once=0 lost=0 twice=0 lost_reported=0 event_failed=0
    local hung_taken=0
    local dir name id n
    : >reports.txt
    for dir in rounds/*/; do
        for name in init1 init2 init3 event1 event2 event3 event4 event5; do
            [ -e "$dir$name.rc" ] || continue
            local rc bad=0
            rc="$(cat "$dir$name.rc")"
            if [ "$rc" != 0 ] || [ -s "$dir$name.err" ]; then bad=1; fi
            [ -e "$dir$name.killed" ] && killed=$((killed + 1))
            tr -d '\r' <"$dir$name.err" | grep . >>reports.txt || true
            if [ "$bad" -eq 1 ]; then
                echo "${dir%/}/$name ($(cat "$dir$name.arg")): exit $rc$([ -e "$dir$name.killed" ] && echo ', killed'):" \
                    "$(tr -d '\r' <"$dir$name.err" | tr '\n' ' ')" >>failures.txt
            fi
            case "$name" in
                init*) init_failed=$((init_failed + bad)) ;;
                event*)
                    event_failed=$((event_failed + bad))
                    id="$(cut -d# -f2 "$dir$name.arg")"
                    n="$(awk -v id="$id" '$1 == id {print $2}' delivered.txt)"
                    n="${n:-0}"
                    if [ "$n" -ge 1 ] && grep -q 'is not responding' "$dir$name.err"; then
                        hung_taken=$((hung_taken + 1))
                    fi
                    if [ "$n" -eq 1 ]; then
                        once=$((once + 1))
                    elif [ "$n" -eq 0 ]; then
                        lost=$((lost + 1))
                        [ "$bad" -eq 1 ] && lost_reported=$((lost_reported + 1))
                    else
                        twice=$((twice + 1))
                    fi
                    ;;
            esac
        done
    done
    local events=$((once + lost + twice))
    local not_responding
    not_responding="$(grep -c 'is not responding' reports.txt || true)"
    local stray_tmp
    stray_tmp="$(find run -name 'vek.ini.~*' | wc -l)"

    vek_log "summary: $rounds_run rounds in ${elapsed} s (host A $a, host B $b)"
    printf '%-48s %s\n' \
        "INIT runs that failed" "$init_failed of $((rounds_run * 3))" \
        "events delivered exactly once" "$once of $events" \
        "events lost" "$lost ($lost_reported of them with a report)" \
        "events delivered more than once" "$twice" \
        "event runs that failed" "$event_failed" \
        "'not responding' reports (both hosts alive)" \
        "$not_responding ($hung_taken of them for an event the host did take)" \
        "runs killed (waited on a message box or 60 s)" "$killed" \
        "rounds that left vek.ini not whole" "$ini_broken" \
        "temporary files left beside vek.ini" "$stray_tmp" \
        "a host ended during the run" "$([ "$hosts_died" -eq 0 ] && echo no || echo YES)"
    if [ -s reports.txt ]; then
        echo "standard error of the runs, each distinct line with its count:"
        sort reports.txt | uniq -c | sort -rn | sed 's/^/  /'
    fi
    echo "(details: $work/failures.txt, $work/rounds/)"
    [ "$init_failed" -eq 0 ] && [ "$lost" -eq 0 ] && [ "$twice" -eq 0 ] &&
        [ "$event_failed" -eq 0 ] && [ "$not_responding" -eq 0 ] && [ "$killed" -eq 0 ] &&
        [ "$ini_broken" -eq 0 ] && [ "$stray_tmp" -eq 0 ] && [ "$hosts_died" -eq 0 ] &&
        [ ! -s reports.txt ] && [ "$events" -eq $((rounds_run * 5)) ]
}

vek_install_deps
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target vek vekhost
vek_display_run stress "$rounds" "$idle" "$idle_every"
