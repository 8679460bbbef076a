#!/usr/bin/env bash
# Builds one libFuzzer target with clang into a folder of its own and runs it a bounded
# number of times from its checked-in seeds, with a fixed seed so that a run can be
# reproduced (QUORAVI_FUZZ_SEED=0 lets libFuzzer choose). A crashing input is kept in the
# build folder. Exits with 77 (skipped) where clang or its libFuzzer runtime is missing.
#
#   run_fuzz.sh <source root> <fuzzer folder> <build folder> <target> <runs>
#               [libFuzzer options...] [further seed folders...]
#
# The fuzzer folder holds a small CMake project that builds <target> and a seeds/ folder;
# it receives the source root as QUORAVI_SOURCE_DIR. No build type: the targets choose
# their own optimisation and keep the project's assertions.
set -euo pipefail
src=$1
here=$2
build=$3
target=$4
runs=$5
shift 5

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
        -DCMAKE_BUILD_TYPE= -DQUORAVI_SOURCE_DIR="$src" >/dev/null
fi
cmake --build "$build" --parallel 2

corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"
# Options come first, then the corpus folders: libFuzzer writes new inputs only into the
# first folder, the fresh one in the build folder, and only reads the others.
options=()
folders=()
for argument in "$@"; do
    if [[ $argument == -* ]]; then options+=("$argument"); else folders+=("$argument"); fi
done
exec "$build/$target" -runs="$runs" -seed="${QUORAVI_FUZZ_SEED:-1}" -max_len=4096 \
    -rss_limit_mb=2048 -artifact_prefix="$build/" -print_final_stats=1 "${options[@]}" \
    "$corpus" "$here/seeds" "${folders[@]}"
