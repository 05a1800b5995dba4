#!/usr/bin/env bash
# Writes the seed inputs of record_reader_fuzzer into fuzz/corpus/record_reader: record files
# that `vanto bench` wrote while flashing simulated phones (passed, failed, stopped and killed
# units, removals, scanned identifiers, two stations, a bench started again), and files made
# from their lines by hand (torn lines, numbers past every range, deep nesting, bytes that are
# not UTF-8, lines that are no record, two units whose host and station join to one text).
# Usage: fuzz/make-record-reader-corpus.sh path/to/bin   (the build's bin folder: vanto and
# vanto-image). The simulated phones get a port register of their own.
set -euo pipefail
bin=${1:?usage: $0 path/to/bin}
vanto=$bin/vanto
out=$(cd "$(dirname "$0")" && pwd)/corpus/record_reader
work=$(mktemp -d)
phones=()
lines=0
stop_phones() {
    for pid in "${phones[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    phones=()
}
trap 'stop_phones; rm -rf "$work"' EXIT
export DEKVANTO_PORTS=$work/ports
mkdir -p "$DEKVANTO_PORTS" "$out"
"$bin/vanto-image" sample-set "$work/fw" >/dev/null

# waits_for SECONDS COMMAND...: runs the command every tenth of a second until it succeeds.
waits_for() {
    local tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "gave up waiting for: $*" >&2
            tail -n 20 "$work"/bench.log "$work"/phone-* >&2 || true
            exit 1
        fi
        sleep 0.1
    done
}

# phone [SIMULATE OPTIONS...]: phones that come and go on a new simulated line; its port name
# goes into $port.
phone() {
    # A file of its own: the phone's READY line must not be taken from an earlier phone's.
    lines=$((lines + 1))
    local log=$work/phone-$lines
    "$vanto" simulate --units 0 "$@" >"$log" 2>&1 &
    phones+=($!)
    waits_for 20 grep -q '^READY' "$log"
    port=$(awk '/^READY/ { print $2; exit }' "$log")
}

# bench RECORD [BENCH OPTIONS...]: `vanto bench` with the sample files into $work/RECORD.
bench() {
    "$vanto" "${bench_args[@]}" --record "$work/$1" "${@:2}" >>"$work/bench.log" 2>&1
}
bench_args=(bench --loader "$work/fw/loader.bin" --code "$work/fw/code.bin"
    --perso "$work/fw/perso.psb" --poll 0.05)

# started RECORD UNIT: true once the record holds the start line of that unit.
started() {
    grep -q "\"event\":\"start\",.*\"unit\":$2," "$work/$1" 2>/dev/null
}

# Scanned identifiers: the first unit passes and its phone is taken off, the second fails.
phone --unit-fault 2:nak@code-block:1
printf 'SN-0001\nSN-0002\n' | bench scanned.jsonl --port "$port" --scan --count 2 \
    --operator Ana || [ $? -eq 9 ]
stop_phones

# A bench terminated (as Ctrl-C) while its second unit runs: that unit is stopped.
phone --unit-fault 2:delay=10000@erase-start
"$vanto" "${bench_args[@]}" --record "$work/stopped.jsonl" --port "$port" >>"$work/bench.log" 2>&1 &
stopped=$!
waits_for 60 started stopped.jsonl 2
kill -TERM "$stopped"
wait "$stopped" || [ $? -eq 3 ]
stop_phones

# A bench killed with its station while its second unit runs: that unit is interrupted. The
# bench started again on the same station counts its units from 1 anew.
phone --unit-fault 2:delay=60000@erase-start
setsid "$vanto" "${bench_args[@]}" --record "$work/killed.jsonl" --port "$port" \
    >>"$work/bench.log" 2>&1 &
killed=$!
waits_for 60 started killed.jsonl 2
kill -KILL -- "-$killed"
wait "$killed" || true
stop_phones
phone
bench killed.jsonl --port "$port" --count 1
stop_phones

# Two stations writing to one record: one unit each, the second failing in the perso file.
phone
first=$port
phone --unit-fault 1:nak@perso-block:1
bench two-stations.jsonl --port "$first,$port" --count 2 || [ $? -eq 9 ]
stop_phones

cp "$work/scanned.jsonl" "$out/scanned-pass-fail-removed"
cp "$work/stopped.jsonl" "$out/stopped-by-terminate"
cp "$work/killed.jsonl" "$out/killed-then-started-again"
cp "$work/two-stations.jsonl" "$out/two-stations"

# Lines made by hand from a real unit's lines.
start=$(sed -n 1p "$work/scanned.jsonl")
end=$(sed -n 2p "$work/scanned.jsonl")
removal=$(sed -n 3p "$work/scanned.jsonl")
unit() { sed "s/\"unit\":1,/\"unit\":$1,/"; }

# A line cut off and ended by the next writer, then a last line cut off without its newline.
{
    echo "$start"
    echo "${end:0:600}"
    echo "$start" | unit 2
    printf '%s' "$(echo "$end" | unit 2 | cut -c1-900)"
} >"$out/torn-lines"

# Numbers past the range of the unit number, of 64 bits and of a double.
{
    echo "$start" | unit 9223372036854775807
    echo "$end" | unit 9223372036854775807 | sed 's/"seconds":[^,]*,/"seconds":1e400,/'
    echo '{"schema":1,"event":"start","station":"COM1","unit":9223372036854775808}'
    echo '{"schema":1,"event":"start","station":"COM1","unit":18446744073709551616}'
    echo '{"schema":1,"event":"start","station":"COM1","unit":-9223372036854775809}'
    echo '{"schema":1,"event":"end","station":"COM1","unit":-1,"bytes":-1,"seconds":-0.0}'
    echo '{"schema":1,"event":"end","station":"COM1","unit":2,"bytes":18446744073709551616}'
    echo '{"schema":1,"event":"end","station":"COM1","unit":1e2,"seconds":1e-400}'
    echo '{"schema":18446744073709551615,"event":"start","station":"COM1","unit":1}'
    echo "$removal" | unit 9223372036854775807
} >"$out/huge-numbers"

# Nesting thousands deep: a torn line of open brackets, then a record whose log holds them.
deep() { printf "%${2}s" | tr ' ' "$1"; }
{
    echo "{\"schema\":1,\"event\":\"start\",\"station\":\"COM1\",\"unit\":1,\"device\":$(deep '[' 3000)"
    echo "{\"schema\":1,\"event\":\"end\",\"station\":\"COM1\",\"unit\":1,\"log\":$(deep '[' 1500)$(deep ']' 1500)}"
    echo "$(deep '[' 500)$(deep ']' 500)"
} >"$out/deep-nesting"

# Bytes that are not UTF-8 in a path and a station, a lone surrogate, a byte-order mark and
# line ends of CR LF.
{
    printf '\xef\xbb\xbf%s\r\n' "$start"
    echo "$start" | unit 2 | sed 's|/fw/code.bin|/fw/\xff\xfecode.bin|'
    echo "$start" | unit 3 | sed 's|"station":"COM1"|"station":"COM\xc0\xaf1"|'
    echo '{"schema":1,"event":"start","station":"COM1","unit":4,"unit_id":"\ud800"}'
    printf '%s\r\n' "${end//'"SN-0001"'/'"SN-\u00e9\u0000"'}"
    printf '{"schema":1,"event":"start","station":"COM1","unit":5,"host":"h\xe2\x82"}\n'
} >"$out/not-utf8"

# Lines that are no record, or that pair in unusual ways: blank ones, other schemas and events,
# fields of other types, repeated keys, an end without its start, a removal of no unit, a start
# of a unit that is still open.
{
    echo
    printf ' \t\r\n'
    echo '{"schema":2,"event":"start","station":"COM1","unit":1}'
    echo '{"schema":"1","event":"start","station":"COM1","unit":1}'
    echo '{"schema":1.0,"event":"start","station":"COM1","unit":1}'
    echo '{"schema":1,"event":"restart","station":"COM1","unit":1}'
    echo '{"schema":1,"event":"start","unit":1}'
    echo '{"schema":1,"event":"start","station":3,"unit":1}'
    echo '[{"schema":1,"event":"start","station":"COM1","unit":1}]'
    echo 'null'
    echo '{"schema":1,"event":"start","station":"COM1","unit":7,"unit":8,"files":[1,{"size":"x"}],"settings":[],"device":"x"}'
    echo '{"schema":1,"event":"end","station":"com1","unit":8,"status":"done","result":"22","log":[1,"a",null]}'
    echo '{"schema":1,"event":"removed","station":"COM9","unit":1,"removed":"2024-05-17T08:31:40.020Z"}'
    echo '{"schema":1,"event":"start","station":"COM1","unit":8,"started":"2024-05-17T08:00:00.000Z"}'
    echo '{"schema":1,"event":"start","station":"COM1","unit":8,"started":"2024-05-18T08:00:00.000Z"}'
    echo '{"schema":1,"event":"removed","station":"COM1","unit":8,"started":"2024-05-18T08:00:00.000Z","removed":"x"}'
} >"$out/foreign-lines"

# Two units whose host and station, joined with a unit separator between them, give one text:
# they stay two units.
{
    echo '{"schema":1,"event":"start","station":"X","unit":1,"host":"a\u001fCOM1"}'
    echo '{"schema":1,"event":"end","station":"COM1\u001fX","unit":1,"host":"a"}'
    echo '{"schema":1,"event":"removed","station":"X","unit":1,"host":"a\u001fCOM1"}'
} >"$out/host-and-station-joined"

ls -l "$out"
