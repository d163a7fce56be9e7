#!/usr/bin/env bash
# The service file tw_write_runtime writes for run.sh: on a cluster tw_start_cluster started, the
# server's login reaches the database through the cluster's Unix socket, with its password (a wrong
# one is refused there as over TCP), and the administrator's login still needs none.
#
#   runtime_service_test.sh BUILD_DIR
set -euo pipefail
source "$(cd "$(dirname "$0")/../.." && pwd)/tools/setup-lib.sh"
if [ "$(id -u)" != 0 ]; then
  echo "skipped: needs root (the clusters run as the postgres user)"
  exit 77
fi
build=$1

work=$(mktemp -d /tmp/tarnwick-runtime-test.XXXXXX)
chmod 755 "$work"
data=$work/pgdata
cleanup() {
  tw_stop_cluster "$data" || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

port=$(tw_free_port)
password=RuntimeTest77
tw_start_cluster "$data" "$port" fast
tw_create_database "$port" "$password"
tw_write_runtime "$work/var" "$port" "$password" "$build"

grep -qx "host=$data" "$work/var/pg_service.conf" || fail "the service does not name the socket folder: $(cat "$work/var/pg_service.conf")"
# service LOGIN-PASSWORD: what the server's login reads through the service ("" when refused).
service() {
  PGSERVICEFILE=$work/var/pg_service.conf PGPASSWORD=$1 psql -X -q -At -U tarnwick -d "service=dorvane" \
    -c "SELECT COALESCE(inet_server_addr()::text, 'socket')" 2>/dev/null || true
}
[ "$(service "$password")" = socket ] || fail "the login with its password did not reach the database through the socket"
[ -z "$(service wrong-password)" ] || fail "a wrong password was taken through the socket"
[ "$(echo "SELECT 1" | tw_pg_admin "$port")" = 1 ] || fail "the administrator's login through the socket failed"
# A second start adds nothing to the login rules.
tw_stop_cluster "$data"
tw_start_cluster "$data" "$port" fast
[ "$(grep -c '^local dorvane tarnwick scram-sha-256$' "$data/pg_hba.conf")" = 1 ] || fail "the socket rule is not there once"
[ "$(service "$password")" = socket ] || fail "after a restart the login did not reach the database"

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
