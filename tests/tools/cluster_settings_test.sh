#!/usr/bin/env bash
# tw_start_cluster's durability, on clusters of this test's own: a cluster that an earlier run.sh made
# with fsync, synchronous_commit and full_page_writes off starts on the durable defaults with its rows
# and says so once; a throw-away cluster asked for "fast" keeps them off across restarts; a cluster
# started without a mode is durable; an unknown mode starts nothing. Every start, whatever its mode,
# runs the server with the C library keeping freed memory at the top of its heap.
set -euo pipefail
source "$(cd "$(dirname "$0")/../.." && pwd)/tools/setup-lib.sh"
if [ "$(id -u)" != 0 ]; then
  echo "skipped: needs root (the clusters run as the postgres user)"
  exit 77
fi

work=$(mktemp -d /tmp/tarnwick-settings-test.XXXXXX)
chmod 755 "$work"
clusters=()
cleanup() {
  local c
  for c in "${clusters[@]}"; do tw_stop_cluster "$c"; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# sql DATADIR PORT STATEMENT: the answer of a cluster whose socket is in its data folder.
sql() {
  TW_PG_SOCKET=$1
  echo "$3" | tw_pg_admin "$2"
}
# settings DATADIR PORT: "fsync synchronous_commit full_page_writes" as the server shows them.
settings() {
  local name out=()
  for name in fsync synchronous_commit full_page_writes; do out+=("$(sql "$1" "$2" "SHOW $name")"); done
  echo "${out[*]}"
}
expect_settings() {
  local what=$1 data=$2 port=$3 want=$4 got
  got=$(settings "$data" "$port")
  [ "$got" = "$want" ] || fail "$what: fsync, synchronous_commit, full_page_writes are \"$got\", not \"$want\""
}
# pg_start DATADIR PORT: starts a cluster the way a person would by hand, with nothing of ours.
pg_start() {
  su postgres -s /bin/sh -c "'$TW_PG_BIN/pg_ctl' -D '$1' -o '-p $2' -l '$1/server.log' -w -t 60 start" >/dev/null
}
# malloc_setting DATADIR: the C library's tunables the running cluster's server was started with.
malloc_setting() {
  local pid
  pid=$(head -1 "$1/postmaster.pid")
  tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^GLIBC_TUNABLES=//p'
}
expect_malloc() {
  local got
  got=$(malloc_setting "$2")
  [ "$got" = glibc.malloc.trim_threshold=1048576 ] || fail "$1: the server runs with GLIBC_TUNABLES \"$got\""
}
fast_lines() { grep -cE '^(fsync|synchronous_commit|full_page_writes) = off$' "$1/postgresql.conf" || true; }

# A var/pgdata of an earlier run.sh: its postgresql.conf ends with the lines that run.sh appended, and
# it holds rows written while they were in force.
old=$work/old
old_port=$(tw_free_port)
clusters+=("$old")
tw_start_cluster "$old" "$old_port" durable
tw_stop_cluster "$old"
cat >>"$old/postgresql.conf" <<CONF
fsync = off
synchronous_commit = off
full_page_writes = off
CONF
pg_start "$old" "$old_port"
expect_settings "the fixture of an earlier run.sh" "$old" "$old_port" "off off off"
sql "$old" "$old_port" "CREATE TABLE kept AS SELECT i FROM generate_series(1, 5000) AS i" >/dev/null
tw_stop_cluster "$old"

tw_start_cluster "$old" "$old_port" durable 2>"$work/first.err"
expect_settings "an earlier run.sh's cluster restarted durable" "$old" "$old_port" "on on on"
grep -q "durable defaults" "$work/first.err" || fail "no line on standard error tells of the switch: $(cat "$work/first.err")"
[ "$(sql "$old" "$old_port" "SELECT count(*), sum(i) FROM kept")" = "5000|12502500" ] \
  || fail "the rows written before the switch are not all there"
[ "$(fast_lines "$old")" = 0 ] || fail "postgresql.conf still turns settings off"
[ "$(stat -c %U "$old/postgresql.conf")" = postgres ] || fail "postgresql.conf is no longer the postgres user's"
tw_stop_cluster "$old"
tw_start_cluster "$old" "$old_port" durable 2>"$work/second.err"
expect_settings "the switched cluster at its next start" "$old" "$old_port" "on on on"
[ ! -s "$work/second.err" ] || fail "a second durable start says something: $(cat "$work/second.err")"
tw_stop_cluster "$old"

# A throw-away cluster: fast, also after the restart the tests make by hand and a second start, with
# one set of lines; started durable afterwards it is durable.
scratch=$work/scratch
scratch_port=$(tw_free_port)
clusters+=("$scratch")
tw_start_cluster "$scratch" "$scratch_port" fast 2>"$work/fast.err"
expect_settings "a fast cluster" "$scratch" "$scratch_port" "off off off"
expect_malloc "a fast cluster" "$scratch"
[ ! -s "$work/fast.err" ] || fail "a fast start says something: $(cat "$work/fast.err")"
su postgres -s /bin/sh -c "'$TW_PG_BIN/pg_ctl' -D '$scratch' -m fast -w -t 60 restart" >/dev/null
expect_settings "a fast cluster after pg_ctl restart" "$scratch" "$scratch_port" "off off off"
tw_stop_cluster "$scratch"
tw_start_cluster "$scratch" "$scratch_port" fast
expect_settings "a fast cluster started again" "$scratch" "$scratch_port" "off off off"
[ "$(fast_lines "$scratch")" = 3 ] || fail "a second fast start left $(fast_lines "$scratch") lines, not 3"
tw_stop_cluster "$scratch"
tw_start_cluster "$scratch" "$scratch_port" durable 2>/dev/null
expect_settings "a fast cluster started durable" "$scratch" "$scratch_port" "on on on"
tw_stop_cluster "$scratch"

# Without a mode a cluster is durable; fast is never the default.
plain=$work/plain
plain_port=$(tw_free_port)
clusters+=("$plain")
tw_start_cluster "$plain" "$plain_port"
expect_settings "a cluster started without a mode" "$plain" "$plain_port" "on on on"
expect_malloc "a cluster started without a mode" "$plain"
tw_stop_cluster "$plain"

# A mode it does not know starts nothing.
for mode in Fast off on yes; do
  if tw_start_cluster "$plain" "$plain_port" "$mode" 2>/dev/null; then
    fail "mode \"$mode\" was taken"
    tw_stop_cluster "$plain"
  fi
  [ ! -f "$plain/postmaster.pid" ] || fail "mode \"$mode\" started the cluster"
done

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
