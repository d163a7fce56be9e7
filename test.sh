#!/usr/bin/env bash
# Installs what is missing, builds with tests (a normal build, a sanitizer build and the fuzzing
# build), starts a throw-away PostgreSQL, runs every test and stops everything. Exits with the result.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup-lib.sh

tw_install_packages
tw_build build default
tw_build build-asan asan
tw_build build-fuzz fuzz

work=$(mktemp -d /tmp/tarnwick-test.XXXXXX)
chmod 755 "$work"
pgport=$(tw_free_port)
password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
tw_start_cluster "$work/pgdata" "$pgport"
cleanup() { tw_stop_cluster "$work/pgdata"; rm -rf "$work"; }
trap cleanup EXIT
tw_create_database "$pgport" "$password"
export PGHOST=127.0.0.1 PGPORT=$pgport PGUSER=tarnwick PGPASSWORD=$password PGDATABASE=dorvane
# The cluster's folder, for the tests that restart the database under the host.
export TARNWICK_PGDATA=$work/pgdata
db/init.sh

status=0
ctest --test-dir build --output-on-failure -j "$(nproc)" || status=1
LSAN_OPTIONS="suppressions=$TW_ROOT/tools/lsan-suppressions.txt:print_suppressions=0" \
  ctest --test-dir build-asan -L unit --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j "$(nproc)" || status=1
if [ "$status" = 0 ]; then tw_log "all tests passed"; else tw_log "tests FAILED"; fi
exit "$status"
