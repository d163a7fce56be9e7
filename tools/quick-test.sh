#!/usr/bin/env bash
# A developer's short loop: builds the default configuration only, starts a throw-away PostgreSQL,
# loads db/ and runs ctest with the arguments given (for example: -R e2e_pda). test.sh remains the
# full run (sanitizer and fuzzing builds included).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup-lib.sh

tw_install_packages
tw_build build default

work=$(mktemp -d /tmp/tarnwick-quick.XXXXXX)
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
ctest --test-dir build --output-on-failure -j "${TW_JOBS:-4}" "$@"
