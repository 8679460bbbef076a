#!/usr/bin/env bash
# Builds the protocol fuzzer with clang into its own folder and runs it a bounded number
# of times from the checked-in seeds. Exit code 77 (skipped) when clang or its libFuzzer
# runtime is missing.
# Usage: run_fuzz.sh <source root> <build folder> [runs]
set -euo pipefail
src=$1
build=$2
runs=${3:-200000}

if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: fuzzing skipped"
    exit 77
fi
mkdir -p "$build"
probe='extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }'
if ! echo "$probe" | clang++ -x c++ -fsanitize=fuzzer - -o "$build/probe" 2>/dev/null; then
    echo "clang++ has no libFuzzer runtime: fuzzing skipped"
    exit 77
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f $build/CMakeCache.txt ]]; then
    CC=clang CXX=clang++ cmake -S "$src/tests/fuzz" -B "$build" "${generator[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --parallel 2

# A fresh corpus and a fixed seed: every run explores the same way, so a failure can be
# reproduced; a crashing input is kept in the build folder.
rm -rf "$build/corpus"
mkdir -p "$build/corpus"
cd "$build"
exec ./fuzz_protocol -runs="$runs" -seed=1 -max_len=4096 -rss_limit_mb=2048 \
    -artifact_prefix="$build/" corpus "$src/tests/fuzz/seeds"
