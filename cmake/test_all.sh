#!/bin/sh
# test_all.sh: what `make test` does. Builds the AddressSanitizer, ThreadSanitizer, fuzz
# and plain trees one after the other, each on every core, and runs each tree's tests
# while the next one compiles (the longest run first, the shortest last): the tests mostly wait on lines, processes and
# windows, and the compiler runs at a lower priority, so a test gets the processor as
# soon as it needs it. Each tree's output is printed once everything has ended.
# Environment: MAKE, TEST_JOBS (tests at once per tree), FUZZ_SHORT_SECONDS.
set -u
cd "$(dirname "$0")/.."
make=${MAKE:-make}
jobs=${TEST_JOBS:-6}
fuzz_seconds=${FUZZ_SHORT_SECONDS:-5}
logs=build-logs
rm -rf "$logs"
mkdir -p "$logs"

# build <make target>: stops everything at a failed build.
build() {
    echo "== $1"
    if ! nice -n 10 "$make" --no-print-directory "$1"; then
        echo "make test: $1 failed" >&2
        wait
        exit 1
    fi
}

# check <name> <command...>: runs in the background, output and status kept under $logs.
check() {
    name=$1
    shift
    echo "== $name: running in the background"
    ("$@" >"$logs/$name.log" 2>&1; echo $? >"$logs/$name.status") &
}

ctest_tree() {
    ctest --output-on-failure -j"$jobs" --test-dir "$1"
}

build build-asan
check asan ctest_tree build-asan
build build-tsan
check tsan ctest_tree build-tsan
build build-fuzz
check fuzz nice -n 10 fuzz/run_fuzzers.sh build-fuzz "$fuzz_seconds"
build build-test
check plain ctest_tree build
wait

failed=""
for name in fuzz tsan plain asan; do
    echo
    echo "======== $name"
    cat "$logs/$name.log"
    [ "$(cat "$logs/$name.status" 2>/dev/null)" = 0 ] || failed="$failed $name"
done
echo
if [ -n "$failed" ]; then
    echo "make test: FAILED in:$failed (logs in $logs/)"
    exit 1
fi
echo "make test: every tree passed (fuzz, tsan, plain, asan)"
