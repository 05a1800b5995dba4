#!/usr/bin/env bash
# Writes the seed inputs of map_check_fuzzer into fuzz/corpus/map_check with vanto-image.
# Usage: fuzz/make-map-check-corpus.sh path/to/vanto-image
# A seed is one length byte n, a personalization file of n bytes, then a code file.
set -euo pipefail
image=${1:?usage: $0 path/to/vanto-image}
out=$(cd "$(dirname "$0")" && pwd)/corpus/map_check
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# seed NAME "PERSO OPTIONS" "CODE OPTIONS"
seed() {
    local name=$1 perso_options=$2 code_options=$3
    # shellcheck disable=SC2086
    "$image" perso -o "$work/perso" $perso_options >/dev/null
    # shellcheck disable=SC2086
    "$image" code -o "$work/code" $code_options >/dev/null
    local n
    n=$(stat -c %s "$work/perso")
    { printf "\\x$(printf %02x "$n")"; cat "$work/perso" "$work/code"; } >"$out/$name"
}

seed compatible "--size 8" "--match B3:12 --entry 410102"
seed other-characters "--size 8 --chars 13" "--match B3:12"
seed other-identifier "--size 8 --id C1" "--match C1:12"
seed alternative-identifier "--size 8" "--no-id --alt-id B3 --match B3:12"
seed ff-identifier "--size 8 --id 0xFFFF" "--no-id --match 0xFFFF:12"
seed long-identifier "--size 8" "--id B3456789A --match B3:12"
seed end-entry-matches "--size 8 --id A0 --chars 00" "--id A0 --entry 010203"
seed no-table-end "--size 8" "--match B3:12 --no-table-end --entry 430909"
seed table-cut "--size 8" "--match B3:13 --no-table-end --size 116"
seed tag-block-far "--size 8" "--tag-offset 600 --match B3:12 --size 700"
seed tag-block-past-end "--size 8" "--tag-offset 5000 --size 300"
seed short-files "--size 3" "--size 40"
