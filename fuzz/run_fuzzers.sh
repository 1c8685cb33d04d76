#!/bin/sh
# Runs every fuzzer for a bounded time: run_fuzzers.sh <build-dir> <seconds each>.
# Seeds come from tests/data; new inputs gather in <build-dir>/corpus/<fuzzer>, crashes in
# <build-dir>/crashes. Stops with an error at the first crash.
set -eu
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/tests/data

seeds() {
    case $1 in
    fuzz_inidocument | fuzz_panellayout)
        ls "$data"/storage/*.vmd "$data"/storage/*.ini "$data"/app/*.ini ;;
    fuzz_picture)
        ls "$data"/storage/*.jpg "$data"/storage/*.bmp "$data"/storage/*.BMP \
           "$data"/storage/picture.png "$data"/storage/jpeg_without_extension ;;
    fuzz_commreceive)
        ls "$data"/fuzz/commreceive/* ;;
    fuzz_remotemessages)
        ls "$data"/fuzz/remotemessages/* ;;
    esac 2>/dev/null || true
}

mkdir -p "$build/crashes"
for fuzzer in fuzz_inidocument fuzz_panellayout fuzz_picture fuzz_commreceive \
    fuzz_remotemessages; do
    corpus=$build/corpus/$fuzzer
    seed=$build/seeds/$fuzzer
    rm -rf "$seed"
    mkdir -p "$corpus" "$seed"
    for f in $(seeds $fuzzer); do cp "$f" "$seed/"; done
    log=$build/$fuzzer.log
    echo "$fuzzer: ${seconds}s"
    if ! "$build/fuzz/$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/crashes/$fuzzer-" \
        "$corpus" "$seed" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$fuzzer found a crash: $build/crashes/" >&2
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$log" | tail -n 2
done
