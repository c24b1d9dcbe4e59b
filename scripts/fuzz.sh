#!/usr/bin/env bash
# Builds every fuzz target of the file readers with clang in build-fuzz and runs each for
# SECONDS (default 30) from its seeds, printing one line a target: "NAME: N execs, M findings".
# A finding (crash, sanitizer report, leak, timeout, out of memory) prints the end of the
# fuzzer's log, is copied to build-fuzz/findings/ and makes the script fail.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}

# Each target with its seed folder in fuzz/ and its own options.
targets=(
  "midifile_fuzz corpus -dict=$root/fuzz/midifile.dict"
  "rcpfile_fuzz corpus-rcp"
  "listfile_fuzz corpus-list"
  "songtitle_fuzz corpus-title"
  "profile_fuzz corpus-profile"
  "statefile_fuzz corpus-state"
  "archive_fuzz corpus-archive"
)

names=()
for entry in "${targets[@]}"; do names+=("${entry%% *}"); done
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKYRO_BUILD_FUZZ=ON -DBUILD_TESTING=OFF -DKYRO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${names[@]}" >/dev/null

findings_dir=$root/build-fuzz/findings
failed=0

# run_target NAME SEEDS [OPTIONS]: one run in a scratch folder (where libFuzzer writes its
# finding files and the targets their temporary files), new inputs kept in its corpus/.
run_target() {
  local name=$1 seeds=$2 work status=0 execs findings files
  shift 2
  # In memory where possible: the readers that write files sync them to disk at every input.
  work=$(mktemp -d -p /dev/shm kyro-fuzz.XXXXXX 2>/dev/null || mktemp -d)
  mkdir "$work/corpus" "$work/tmp"
  (cd "$work" && TMPDIR="$work/tmp" "$root/build-fuzz/fuzz/$name" -max_total_time="$seconds" -timeout=10 \
     -rss_limit_mb=2048 -print_final_stats=1 "$@" corpus "$root/fuzz/$seeds" >fuzz.log 2>&1) || status=$?

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log" | tail -n 1)
  # A run cut short may print no final stats: take the count of its last status line.
  [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$work/fuzz.log" | tail -n 1)
  files=$(cd "$work" && ls -d crash-* leak-* timeout-* oom-* 2>/dev/null || true)
  findings=$(printf '%s' "$files" | grep -c . || true)
  if [ "$status" -ne 0 ] && [ "$findings" -eq 0 ]; then findings=1; fi

  echo "$name: ${execs:-0} execs, $findings findings"
  if [ "$findings" -ne 0 ]; then
    tail -n 40 "$work/fuzz.log"
    mkdir -p "$findings_dir"
    for file in $files; do
      cp "$work/$file" "$findings_dir/$name-$file"
      echo "kept: $findings_dir/$name-$file"
    done
    failed=1
  fi
  rm -rf "$work"
}

for entry in "${targets[@]}"; do
  # shellcheck disable=SC2086  # the options are words of their own
  run_target $entry
done
exit "$failed"
