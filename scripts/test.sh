#!/usr/bin/env bash
# Installs what is missing, builds, runs the tests of the readers of untrusted files under the
# sanitizers, and then every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/test-sanitized.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
