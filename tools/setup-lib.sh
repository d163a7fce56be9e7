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

# tw_start_cluster DATADIR PORT: creates (first time) and starts a private PostgreSQL cluster owned by the
# postgres user, listening on 127.0.0.1:PORT. Password logins over TCP, trust over its own socket folder.
tw_start_cluster() {
  local data=$1 port=$2
  local owner=postgres
  mkdir -p "$data"
  chown "$owner" "$data"
  chmod 700 "$data"
  if [ ! -f "$data/PG_VERSION" ]; then
    su "$owner" -s /bin/sh -c "'$TW_PG_BIN/initdb' -D '$data' -U postgres -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=scram-sha-256 >'$data.initdb.log' 2>&1" \
      || { cat "$data.initdb.log" >&2; return 1; }
    cat >>"$data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
max_connections = 400
unix_socket_directories = '$data'
fsync = off
synchronous_commit = off
full_page_writes = off
CONF
  fi
  su "$owner" -s /bin/sh -c "'$TW_PG_BIN/pg_ctl' -D '$data' -o '-p $port' -l '$data/server.log' -w -t 60 start" >/dev/null \
    || { cat "$data/server.log" >&2; return 1; }
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
