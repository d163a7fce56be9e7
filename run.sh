#!/usr/bin/env bash
# Installs what is missing, builds, starts the private PostgreSQL of var/ (created the first time,
# with the demo data) and runs tarnwick-host in the foreground on 127.0.0.1:8080 (TARNWICK_PORT
# changes the port). Ctrl-C stops the server and the database.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup-lib.sh

tw_install_packages
tw_build build default

var=$TW_ROOT/var
mkdir -p "$var"
port=${TARNWICK_PORT:-8080}
pgport=${TARNWICK_PG_PORT:-55432}
if [ ! -f "$var/db-password" ]; then
  (umask 077; head -c 18 /dev/urandom | base64 | tr -d '/+=' >"$var/db-password")
fi
password=$(cat "$var/db-password")

pgdata=$(tw_reachable_dir "$var/pgdata")
tw_start_cluster "$pgdata" "$pgport" durable
trap 'tw_stop_cluster "$pgdata"' EXIT
tw_create_database "$pgport" "$password"
PGHOST=127.0.0.1 PGPORT=$pgport PGUSER=tarnwick PGPASSWORD=$password PGDATABASE=dorvane db/init.sh --demo
tw_write_runtime "$var" "$pgport" "$password"

export PGSERVICEFILE=$var/pg_service.conf
export TARNWICK_REGISTRY=$var/registry TARNWICK_MODULE_DIR=$var/module TARNWICK_LOG_DIR=$var/log
tw_log "module folder $var/module, logs $var/log, registry $var/registry, service file $var/pg_service.conf"
build/tarnwick-host --listen "127.0.0.1:$port" --extension "$TW_ROOT/build/Tarnwick.so"
