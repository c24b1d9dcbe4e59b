#!/usr/bin/env bash
# Builds the code that reads untrusted files (archives, song files, list and settings files) with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs its tests there; then builds the fuzz
# targets of every file reader with clang and runs each for KYRO_FUZZ_SECONDS (default 30) from
# its seeds (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
tests=(unlha32_test lzhwriter_test archivelibrary_test songfiles_access_test songfiles_titles_test
       sequencer_midifile_test sequencer_rcpfile_test library_listfiles_test library_settings_test platform_profile_test
       platform_cp932_test platform_filesystem_test)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKYRO_SANITIZE=address,undefined -DKYRO_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)" --target "${tests[@]}"
regex="^($(IFS='|'; echo "${tests[*]}"))\$"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -R "$regex"

# The fuzz targets of every file reader, each from its seeds; a finding fails the tests.
bash scripts/fuzz.sh "${KYRO_FUZZ_SECONDS:-30}"
