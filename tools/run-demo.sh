#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: `vanto download` of generated sample
# firmware (loader, code file, personalization file) into the simulated phone, with the log and
# the progress, then shows that the phone received exactly what was sent. The phone takes the bytes
# as a serial cable would deliver them at the line's speed (--wire-timed), so the times and rates
# shown are those of a real line; the code file is kept small so that this takes seconds.
# Arguments are passed on to `vanto download` (for example --speed 460800 or --blind).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/install-deps.sh
bash tools/build.sh build-demo -DDEKVANTO_BUILD_TESTS=OFF
bin=$top/build-demo/bin

work=$(mktemp -d /tmp/vanto-demo-XXXXXX)
export DEKVANTO_PORTS=$work/ports  # the simulated phone's COM<n> link, for this run only
"$bin/vanto-image" sample-set "$work/firmware" --code-size 65536 --perso-size 4096 >/dev/null
echo "Sample firmware in $work/firmware"

# The phone: it prints "READY COM<n> <device>" once its port exists, and "END ..." at the end.
mkfifo "$work/phone.out"
blind=()
for arg in "$@"; do [[ $arg == --blind ]] && blind=(--blind); done
"$bin/vanto" simulate --wire-timed --record "$work/received" "${blind[@]}" >"$work/phone.out" 2>&1 &
phone=$!
exec 3<"$work/phone.out"
read -r ready port device <&3
[[ $ready == READY ]] || { echo "the simulated phone did not start: $ready $port $device"; exit 3; }
echo "Simulated phone on $port ($device)"
echo

echo "\$ vanto download --port $port --loader loader.bin --code code.bin --perso perso.psb $*"
status=0
"$bin/vanto" download --port "$port" --loader "$work/firmware/loader.bin" \
    --code "$work/firmware/code.bin" --perso "$work/firmware/perso.psb" "$@" || status=$?
echo "vanto exit status: $status"

# The phone ends once it has taken in everything sent; it tells whether all was right.
cat <&3
wait "$phone" || true
echo
echo "What the phone received (in $work/received):"
same=yes
for pair in loader.bin:loader.bin code.bin:code.bin perso.psb:perso.bin; do
    sent=$work/firmware/${pair%%:*} got=$work/received/${pair##*:}
    if cmp -s "$sent" "$got"; then verdict=identical; else verdict=DIFFERENT; same=no; fi
    printf '  %-10s sent %8d bytes, received %8d bytes: %s\n' "${pair%%:*}" \
        "$(stat -c %s "$sent")" "$(stat -c %s "$got" 2>/dev/null || echo 0)" "$verdict"
done
echo
if [[ $status == 0 && $same == yes ]]; then
    echo "The phone received exactly what was sent."
else
    echo "The phone did NOT receive exactly what was sent."
    exit 1
fi
