#!/usr/bin/env bash
# Runs a fuzz target for a while: fuzz/run.sh TARGET SECONDS
# (TARGET "all" runs every target for SECONDS each).
#
# Configures a clang build in build-fuzz (or $VAVEVO_FUZZ_BUILD) with the
# fuzzer and sanitizer instrumentation on every library, builds the target
# and runs it over a scratch copy of its kept corpus (fuzz/corpus/<name>,
# read-only here). A crash leaves its input in <build>/findings/<target>/
# and fails the run; keep the input in the corpus once the fault is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
  echo "usage: fuzz/run.sh TARGET|all SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
build=${VAVEVO_FUZZ_BUILD:-build-fuzz}
jobs=${VAVEVO_FUZZ_JOBS:-2}

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
flags="$flags -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DVAVEVO_FUZZ=ON -DVAVEVO_TESTS=OFF -DVAVEVO_BENCH=OFF >/dev/null

# The targets and their corpora, as fuzz/CMakeLists.txt registered them.
declare -A corpus=()
while read -r name dir; do
  [ -n "$name" ] && corpus[$name]=$dir
done <"$build/fuzz/targets.txt"
if [ "$target" = all ]; then
  mapfile -t targets < <(printf '%s\n' "${!corpus[@]}" | sort)
else
  if [ -z "${corpus[$target]+x}" ]; then
    echo "fuzz/run.sh: unknown target '$target' (known: ${!corpus[*]})" >&2
    exit 2
  fi
  targets=("$target")
fi

status=0
for t in "${targets[@]}"; do
  cmake --build "$build" --target "fuzz_$t" -j "$jobs"
  work=$(mktemp -d)
  findings=$build/findings/$t
  mkdir -p "$findings"
  seeds=()
  [ -d "${corpus[$t]}" ] && seeds=("${corpus[$t]}")
  echo "fuzz/run.sh: $t for ${seconds}s"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$work" "${seeds[@]}"; then
    echo "fuzz/run.sh: $t found a fault; its input is in $findings/" >&2
    status=1
  fi
  rm -rf "$work"
done
exit $status
