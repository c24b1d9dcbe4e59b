#!/usr/bin/env bash
# Builds the code that reads untrusted files (archives, song files, list and settings files) with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs its tests there; then builds the song
# readers' fuzz targets with clang and runs each for KYRO_FUZZ_SECONDS (default 20) from its seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=(unlha32_test lzhwriter_test archivelibrary_test songfiles_access_test songfiles_titles_test
       sequencer_midifile_test sequencer_rcpfile_test library_listfiles_test library_settings_test platform_profile_test
       platform_cp932_test platform_filesystem_test)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKYRO_SANITIZE=address,undefined -DKYRO_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)" --target "${tests[@]}"
regex="^($(IFS='|'; echo "${tests[*]}"))\$"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -R "$regex"

# run_fuzz TARGET SEEDS [OPTIONS]: runs a fuzz target from its seeds; a finding (crash, leak,
# timeout, out of memory) fails the script with the fuzzer's report.
run_fuzz() {
  local target=$1 seeds=$2 root=$PWD scratch status=0
  shift 2
  scratch=$(mktemp -d)
  (cd "$scratch" && "$root/build-fuzz/fuzz/$target" -max_total_time="${KYRO_FUZZ_SECONDS:-20}" -timeout=10 \
     -rss_limit_mb=2048 "$@" . "$root/fuzz/$seeds" >fuzz.log 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then tail -n 40 "$scratch/fuzz.log"; else echo "$target: $(tail -n 1 "$scratch/fuzz.log")"; fi
  rm -rf "$scratch"
  return "$status"
}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKYRO_BUILD_FUZZ=ON -DBUILD_TESTING=OFF -DKYRO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target midifile_fuzz rcpfile_fuzz
run_fuzz midifile_fuzz corpus -dict="$PWD/fuzz/midifile.dict"
run_fuzz rcpfile_fuzz corpus-rcp
