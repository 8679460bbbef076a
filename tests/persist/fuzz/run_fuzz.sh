#!/usr/bin/env bash
# Builds the project reader's libFuzzer target with clang and runs it a bounded number of
# times. Exits with 77 (skipped) where clang or its libFuzzer runtime is missing.
#
#   run_fuzz.sh <source dir> <build dir> [runs]
set -euo pipefail
src=$1
build=$2
runs=${3:-30000}
here="$src/tests/persist/fuzz"

if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: fuzzing skipped"
    exit 77
fi
mkdir -p "$build"
probe="$build/probe.cpp"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' >"$probe"
if ! clang++ -fsanitize=fuzzer "$probe" -o "$build/probe" 2>/dev/null; then
    echo "clang's libFuzzer runtime not found: fuzzing skipped"
    exit 77
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug -DQUORAVI_SOURCE_DIR="$src" >/dev/null
fi
cmake --build "$build" --parallel 2

# A fresh corpus each time, grown from the seeds and the golden file; a fixed seed keeps
# the run reproducible (QUORAVI_FUZZ_SEED=0 lets libFuzzer choose).
corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$here"/seeds/* "$src/tests/persist/data/project-golden.xml" "$corpus"/
exec "$build/fuzz_projectreader" -runs="$runs" -seed="${QUORAVI_FUZZ_SEED:-1}" -max_len=4096 \
    -timeout=10 -rss_limit_mb=2048 -max_total_time=120 -dict="$here/project.dict" \
    -print_final_stats=1 "$corpus"
