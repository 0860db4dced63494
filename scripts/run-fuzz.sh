#!/usr/bin/env bash
# Runs every libFuzzer target in BUILD (default build-fuzz) for FUZZ_S seconds each (default 60),
# one after the other, starting from its seeds in fuzz/corpus/<target>/ (and with the dictionary
# fuzz/<target>.dict when there is one).
#   - inputs the fuzzer finds go to BUILD/fuzz-corpus/<target>/ (scratch, never the tree);
#   - a crash, leak, sanitizer report, time-out or running out of memory stops that target, keeps
#     the input in BUILD/findings/<target>/ and makes the script exit non-zero (after the others ran).
# FUZZ_TARGETS="RuleFuzz ImageFuzz" runs only those; FUZZ_RUNS=N stops each after N inputs (or FUZZ_S).
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${FUZZ_S:-60}
runs_limit=${FUZZ_RUNS:--1}

# Longest input, seconds one input may take before it counts as a hang.
declare -A MAX_LEN=([ImageFuzz]=65536 [RequestFuzz]=32768 [RuleFuzz]=4096 [FreshnessFuzz]=4096
                    [MBTilesMetadataFuzz]=256 [ShellResourceFuzz]=1024 [DialogTemplateFuzz]=512
                    [GpxFuzz]=16384)
declare -A TIMEOUT=([ImageFuzz]=20 [RequestFuzz]=10 [RuleFuzz]=10 [FreshnessFuzz]=10
                    [MBTilesMetadataFuzz]=10 [ShellResourceFuzz]=10 [DialogTemplateFuzz]=20
                    [GpxFuzz]=10)
targets=${FUZZ_TARGETS:-${!MAX_LEN[*]}}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
summary=()
for target in $(tr ' ' '\n' <<<"$targets" | sort); do
  binary=$build/fuzz/$target
  if [[ ! -x $binary || -z ${MAX_LEN[$target]:-} ]]; then
    echo "fuzz: no target $target in $build" >&2
    failed+=("$target")
    continue
  fi
  scratch=$build/fuzz-corpus/$target
  findings=$build/findings/$target
  rm -rf "$findings"
  mkdir -p "$scratch" "$findings"
  log=$build/findings/$target.log
  echo "fuzz: $target for ${seconds}s (log $log)"
  dictionary=()
  [[ -f fuzz/$target.dict ]] && dictionary=(-dict="fuzz/$target.dict")
  "$binary" "${dictionary[@]}" -max_total_time="$seconds" -runs="$runs_limit" -max_len="${MAX_LEN[$target]}" -timeout="${TIMEOUT[$target]}" \
    -rss_limit_mb=2048 -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$scratch" "fuzz/corpus/$target" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [[ $status -ne 0 ]]; then
    grep -E "^==[0-9]+==ERROR|runtime error|ALARM|out-of-memory|Test unit written" "$log" | head -5 >&2
    echo "fuzz: $target FAILED (exit $status); the input is in $findings/, the output in $log" >&2
    failed+=("$target")
    summary+=("$target: FAILED after ${runs:-?} runs")
  else
    rmdir "$findings" 2>/dev/null
    summary+=("$target: ${runs:-?} runs clean (${speed:-?} exec/s)")
  fi
done

printf 'fuzz: %s\n' "${summary[@]}"
if [[ ${#failed[@]} -ne 0 ]]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all targets clean"
