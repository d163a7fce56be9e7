#!/usr/bin/env bash
# Creates or updates the schemas (dbo, quillon), the extensions, every table and every function of db/
# in the database named by the standard PostgreSQL environment (PGHOST, PGPORT, PGUSER, PGDATABASE,
# PGPASSWORD). Safe to run again: tables are created when missing and grown column by column,
# functions are replaced. With --demo it also loads the demo rows of db/demo/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
demo=0
for arg in "$@"; do
  case "$arg" in
    --demo) demo=1 ;;
    *) echo "usage: db/init.sh [--demo]" >&2; exit 2 ;;
  esac
done
files=()
for f in "$here"/schema/*.sql "$here"/procedures/*.sql; do
  [ -e "$f" ] && files+=(-f "$f")
done
if [ "$demo" = 1 ]; then
  for f in "$here"/demo/*.sql; do
    [ -e "$f" ] && files+=(-f "$f")
  done
fi
# The SQL files are UTF-8; the database converts for each connection's own encoding.
PGCLIENTENCODING=UTF8 psql -X -q -v ON_ERROR_STOP=1 --single-transaction "${files[@]}" >/dev/null
