#!/usr/bin/env bash
# Installs what is missing, builds, runs the tests of the readers of untrusted files under the
# sanitizers, then every test through CTest, then builds the Debian package and tests it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/test-sanitized.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The Debian package, built from a copy of the tree and tried in a fresh Debian 12 root; after the
# other tests, as it makes a build of its own. 77: the machine cannot run that test (it says why).
packaging=$(bash scripts/package.sh)
echo "$packaging"
deb=${packaging##*$'\n'}  # its last line
status=0
bash tests/install/package_test.sh "$deb" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
