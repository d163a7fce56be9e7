# Shell pieces shared by run.sh and test.sh (sourced, not run).

TW_ROOT=${TW_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
TW_PG_BIN=${TW_PG_BIN:-/usr/lib/postgresql/15/bin}

tw_log() { printf '[tarnwick] %s\n' "$*" >&2; }

# Installs every package of tools/packages.txt that is not installed yet.
tw_install_packages() {
  local wanted missing=() p
  wanted=$(grep -v '^\s*#' "$TW_ROOT/tools/packages.txt" | grep -v '^\s*$')
  for p in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    tw_log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq || true
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# tw_build DIR PRESET [extra cmake args]: configures (first time) and builds.
tw_build() {
  local dir=$1 preset=$2
  shift 2
  if [ ! -f "$TW_ROOT/$dir/build.ninja" ]; then
    cmake --preset "$preset" -S "$TW_ROOT" "$@" >/dev/null
  fi
  cmake --build "$TW_ROOT/$dir" -j "$(nproc)"
}

# A free loopback TCP port.
tw_free_port() {
  python3 - <<'PY' 2>/dev/null || echo $((20000 + RANDOM % 20000))
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

# The socket folder of the running private cluster (its data folder), set by tw_start_cluster.
TW_PG_SOCKET=

# The settings that make a cluster fast and not crash-safe: a power cut or an operating-system crash
# may lose what it reported committed, or leave it unreadable. Only throw-away clusters use them.
TW_FAST_SETTINGS=(fsync synchronous_commit full_page_writes)
TW_FAST_MARK='# throw-away cluster: fast, not crash-safe (tools/setup-lib.sh writes these lines)'

# The C library's memory setting of the cluster's server processes: each keeps up to 1 MB of freed
# memory at the top of its heap rather than handing it back to the system after every statement and
# taking it again for the next. Each hand-back flushed the address translations of every CPU the
# process had run on; entering shipments whose numbers the server draws, at 48 connections, that was
# half the database's CPU time.
TW_PG_MALLOC_TUNABLES='glibc.malloc.trim_threshold=1048576'

# tw_cluster_settings DATADIR MODE: the durability of a stopped cluster's postgresql.conf. "durable"
# leaves PostgreSQL's defaults (fsync, synchronous_commit, full_page_writes on); "fast" turns the
# three off. The lines an earlier version of this file wrote into every cluster, run.sh's included, are
# dropped either way; a cluster that ran without fsync has its files flushed before it starts durable,
# and a line on standard error says so.
tw_cluster_settings() {
  local data=$1 mode=$2 conf=$1/postgresql.conf name text kept
  local lines=()
  for name in "${TW_FAST_SETTINGS[@]}"; do lines+=(-e "$name = off"); done
  text=$(cat "$conf")
  kept=$(grep -vxF -e "$TW_FAST_MARK" "${lines[@]}" <<<"$text" || true)
  if [ "$mode" = fast ]; then
    kept+=$'\n'"$TW_FAST_MARK"
    for name in "${TW_FAST_SETTINGS[@]}"; do kept+=$'\n'"$name = off"; done
  fi
  [ "$kept" = "$text" ] && return 0
  # Written in place, so the file keeps its owner and mode.
  printf '%s\n' "$kept" >"$conf"
  if [ "$mode" = durable ]; then
    tw_log "$data ran with fsync, synchronous_commit and full_page_writes off (lines an earlier run.sh" \
      "wrote into its postgresql.conf): removed them, so it starts on PostgreSQL's durable defaults; its" \
      "files are flushed to disk first, its data stays as it is"
    su postgres -s /bin/sh -c "'$TW_PG_BIN/initdb' --sync-only -D '$data'" >/dev/null || return 1
  fi
}

# tw_start_cluster DATADIR PORT [durable|fast]: creates (first time) and starts a private PostgreSQL
# cluster owned by the postgres user, listening on 127.0.0.1:PORT. Password logins over TCP, trust over
# its own socket folder. "durable" (the default) keeps PostgreSQL's crash-safe settings; "fast" is for
# throw-away clusters only (see TW_FAST_SETTINGS).
tw_start_cluster() {
  local data=$1 port=$2 mode=${3:-durable}
  local owner=postgres name
  case $mode in
    durable | fast) ;;
    *) tw_log "tw_start_cluster: unknown mode \"$mode\" (durable or fast)"; return 1 ;;
  esac
  mkdir -p "$data"
  chown "$owner" "$data"
  chmod 700 "$data"
  if [ ! -f "$data/PG_VERSION" ]; then
    su "$owner" -s /bin/sh -c "'$TW_PG_BIN/initdb' -D '$data' -U postgres -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=scram-sha-256" >"$data.initdb.log" 2>&1 \
      || { cat "$data.initdb.log" >&2; return 1; }
    cat >>"$data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
max_connections = 400
unix_socket_directories = '$data'
CONF
  fi
  tw_cluster_settings "$data" "$mode" || return 1
  # The server's pool connects through the Unix socket (tw_write_runtime); it logs in with its
  # password there as it does over TCP. Only the administrator's local login stays trusted.
  if ! grep -q '^local dorvane tarnwick scram-sha-256$' "$data/pg_hba.conf"; then
    { echo 'local dorvane tarnwick scram-sha-256'; cat "$data/pg_hba.conf"; } >"$data/pg_hba.conf.new"
    cat "$data/pg_hba.conf.new" >"$data/pg_hba.conf"
    rm -f "$data/pg_hba.conf.new"
  fi
  su "$owner" -s /bin/sh -c "GLIBC_TUNABLES='$TW_PG_MALLOC_TUNABLES' '$TW_PG_BIN/pg_ctl' -D '$data' -o '-p $port' \
      -l '$data/server.log' -w -t 60 start" >/dev/null \
    || { cat "$data/server.log" >&2; return 1; }
  TW_PG_SOCKET=$data
  if [ "$mode" = durable ]; then
    for name in "${TW_FAST_SETTINGS[@]}"; do
      if [ "$(echo "SHOW $name" | tw_pg_admin "$port")" != on ]; then
        tw_log "warning: $name is off in $data (postgresql.auto.conf or a line of postgresql.conf): a crash may lose" \
          "committed records"
      fi
    done
  fi
}

tw_stop_cluster() {
  local data=$1
  [ -f "$data/postmaster.pid" ] || return 0
  su postgres -s /bin/sh -c "'$TW_PG_BIN/pg_ctl' -D '$data' -m fast -w -t 60 stop" >/dev/null 2>&1 || true
}

# A folder the postgres user can reach: the wanted one when every parent lets it through, else a
# fresh one under /var/tmp (linked from the wanted place).
tw_reachable_dir() {
  local want=$1
  mkdir -p "$(dirname "$want")"
  if su postgres -s /bin/sh -c "test -x '$(dirname "$want")'" 2>/dev/null; then
    echo "$want"
  else
    local alt
    if [ -L "$want" ] && [ -d "$(readlink "$want")" ]; then
      readlink "$want"
      return
    fi
    alt=$(mktemp -d /var/tmp/tarnwick-pg.XXXXXX)
    chmod 755 "$alt"
    rm -rf "$want"
    ln -s "$alt/data" "$want"
    echo "$alt/data"
  fi
}

# tw_pg_admin PORT: runs the SQL of standard input as the cluster's superuser.
tw_pg_admin() {
  su postgres -s /bin/sh -c "psql -X -q -At -v ON_ERROR_STOP=1 -U postgres -h '$TW_PG_SOCKET' -p $1 -d postgres"
}

# tw_create_database PORT PASSWORD: the login role "tarnwick" (with that password) and the database
# dorvane owned by it, when missing. REQUIRES: tw_start_cluster ran; PASSWORD is letters and digits.
tw_create_database() {
  local port=$1 password=$2
  tw_pg_admin "$port" <<SQL
DO \$\$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tarnwick') THEN
    CREATE ROLE tarnwick LOGIN PASSWORD '$password';
  ELSE
    ALTER ROLE tarnwick PASSWORD '$password';
  END IF;
END \$\$;
SQL
  if [ "$(echo "SELECT count(*) FROM pg_database WHERE datname = 'dorvane'" | tw_pg_admin "$port")" = 0 ]; then
    echo "CREATE DATABASE dorvane OWNER tarnwick ENCODING 'UTF8' TEMPLATE template0" | tw_pg_admin "$port"
  fi
}

# tw_write_runtime DIR PORT PASSWORD: the files the library reads, in DIR: pg_service.conf (the libpq
# service "dorvane", named by PGSERVICEFILE), registry (the scrambled login) and module/tarnwick.ini
# (the demo settings, GBK). The service reaches the cluster tw_start_cluster started through its Unix
# socket (a request's round trip costs the server and the database less than over TCP), else
# 127.0.0.1.
tw_write_runtime() {
  local dir=$1 port=$2 password=$3 build=${4:-$TW_ROOT/build}
  mkdir -p "$dir/module" "$dir/log"
  cat >"$dir/pg_service.conf" <<INI
# The business database of Tarnwick (the registry's data-source name names this section).
[dorvane]
host=${TW_PG_SOCKET:-127.0.0.1}
port=$port
dbname=dorvane
INI
  rm -f "$dir/odbc.ini" "$dir/odbcinst.ini"
  rm -f "$dir/registry"
  "$build/tools/tarnwick-registry" --file "$dir/registry" set 'SOFTWARE\Halvern' Item1 dorvane
  "$build/tools/tarnwick-registry" --file "$dir/registry" set 'SOFTWARE\Halvern' Item2 "$password"
  "$build/tools/tarnwick-registry" --file "$dir/registry" set 'SOFTWARE\Halvern' Item5 tarnwick
  iconv -f UTF-8 -t GBK "$TW_ROOT/tools/demo/tarnwick.ini" >"$dir/module/tarnwick.ini"
}

# The folder of the throw-away database, set by tw_start_scratch_database.
TW_SCRATCH=

# tw_start_scratch_database NAME MODE: a throw-away cluster (MODE: durable or fast, see
# tw_start_cluster) in a new folder /tmp/NAME.XXXXXX on a free port, with the role "tarnwick", the
# database dorvane and db/ loaded. Exports PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE and
# TARNWICK_PGDATA (the cluster's folder, for the tests that restart the database under the host).
# tw_remove_scratch_database stops it and removes the folder; set it as the EXIT trap first.
tw_start_scratch_database() {
  local name=$1 mode=$2 port password
  TW_SCRATCH=$(mktemp -d "/tmp/$name.XXXXXX")
  chmod 755 "$TW_SCRATCH"
  port=$(tw_free_port)
  password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
  tw_start_cluster "$TW_SCRATCH/pgdata" "$port" "$mode"
  tw_create_database "$port" "$password"
  export PGHOST=127.0.0.1 PGPORT=$port PGUSER=tarnwick PGPASSWORD=$password PGDATABASE=dorvane
  export TARNWICK_PGDATA=$TW_SCRATCH/pgdata
  "$TW_ROOT/db/init.sh"
}

tw_remove_scratch_database() {
  [ -n "$TW_SCRATCH" ] || return 0
  tw_stop_cluster "$TW_SCRATCH/pgdata"
  rm -rf "$TW_SCRATCH"
}
