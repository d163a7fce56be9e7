#!/usr/bin/env bash
# Installs what is missing, builds with tests (a normal build, a sanitizer build and the fuzzing
# build), starts a throw-away PostgreSQL, runs every test and stops everything. Exits with the result.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup-lib.sh

tw_install_packages
# The rooms of the library include only the rooms below them.
python3 tools/check-rooms.py >/dev/null
tw_build build default
tw_build build-asan asan
tw_build build-fuzz fuzz

# A throw-away cluster on the fast settings: a crash may lose it, and nothing in it is kept.
trap tw_remove_scratch_database EXIT
tw_start_scratch_database tarnwick-test fast

status=0
ctest --test-dir build --output-on-failure -j "$(nproc)" || status=1
LSAN_OPTIONS="suppressions=$TW_ROOT/tools/lsan-suppressions.txt:print_suppressions=0" \
  ctest --test-dir build-asan -L unit --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j "$(nproc)" || status=1
if [ "$status" = 0 ]; then tw_log "all tests passed"; else tw_log "tests FAILED"; fi
exit "$status"
