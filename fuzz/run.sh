#!/usr/bin/env bash
# Fuzzes the parsers of outside data with libFuzzer.
#
#   fuzz/run.sh [SECONDS] [HARNESS...]   each harness (default: all) fuzzed for SECONDS (60) from
#                                        its corpus; new crashing inputs go to fuzz/findings/
#   fuzz/run.sh --regression             every committed input (corpus and findings) run once,
#                                        without mutation; fails when any of them fails
#
# Installs clang when it is missing (as root), builds the fuzz configuration in build/fuzz, and
# prints per harness the executions, the coverage reached and what it found.
set -euo pipefail
cd "$(dirname "$0")/.."

ensure_clang() {
  if command -v clang++ >/dev/null && [ -n "$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null)" ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "Please install clang first (as root): apt-get install clang libclang-rt-dev" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
}

build() {
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQR_BUILD_FUZZ=ON >/dev/null
  cmake --build build/fuzz -j"$(nproc)" >/dev/null
}

harnesses() { for f in fuzz/*_fuzz.cpp; do basename "$f" .cpp; done; }

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

if [ "${1:-}" = "--regression" ]; then
  ensure_clang
  build
  passed=0 failed=0
  for h in $(harnesses); do
    inputs=()
    for dir in "fuzz/corpus/$h" "fuzz/findings/$h"; do
      [ -d "$dir" ] && while IFS= read -r -d '' f; do inputs+=("$f"); done < <(find "$dir" -type f -print0 | sort -z)
    done
    if [ ${#inputs[@]} -eq 0 ]; then
      echo "fuzz regression: $h has no committed inputs" >&2
      failed=$((failed + 1))
      continue
    fi
    # Given files, libFuzzer runs each once and stops.
    if "build/fuzz/fuzz/$h" "${inputs[@]}" >"build/fuzz/$h.regression.log" 2>&1; then
      echo "fuzz regression: $h: ${#inputs[@]} inputs ok"
      passed=$((passed + 1))
    else
      echo "fuzz regression: $h FAILED on a committed input (build/fuzz/$h.regression.log):" >&2
      grep -E "ERROR|SUMMARY|Running:" "build/fuzz/$h.regression.log" | tail -5 >&2
      failed=$((failed + 1))
    fi
  done
  echo "fuzz regression: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
fi

seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
selected=("$@")
[ ${#selected[@]} -eq 0 ] && mapfile -t selected < <(harnesses)

ensure_clang
build
printf '%-22s %12s %10s %8s %8s  %s\n' harness executions "exec/s" cov ft findings
for h in "${selected[@]}"; do
  [ -x "build/fuzz/fuzz/$h" ] || { echo "no harness $h" >&2; exit 2; }
  # New inputs go to a scratch corpus: the committed one is only read.
  work=$(mktemp -d)
  mkdir -p "fuzz/findings/$h" "fuzz/corpus/$h"
  before=$(find "fuzz/findings/$h" -type f | wc -l)
  set +e
  "build/fuzz/fuzz/$h" "$work" "fuzz/corpus/$h" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="fuzz/findings/$h/" -timeout=10 -rss_limit_mb=4096 >"build/fuzz/$h.log" 2>&1
  set -e
  rm -rf "$work"
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$h.log" | awk '{print $2}' | tail -1)
  speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "build/fuzz/$h.log" | awk '{print $2}' | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "build/fuzz/$h.log" | awk '{print $2}' | tail -1)
  ft=$(grep -o 'ft: [0-9]*' "build/fuzz/$h.log" | awk '{print $2}' | tail -1)
  after=$(find "fuzz/findings/$h" -type f | wc -l)
  found=$((after - before))
  printf '%-22s %12s %10s %8s %8s  %s\n' "$h" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" \
    "$([ "$found" -eq 0 ] && echo none || echo "$found new in fuzz/findings/$h")"
done
