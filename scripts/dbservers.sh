#!/usr/bin/env bash
# Starts and stops the database servers the tests and benchmarks run against, each on
# loopback, on a free port, with all of its files in one folder:
#
#   dbservers.sh start DIR   PostgreSQL 15 and Firebird 3 under DIR; settings in DIR/servers.env
#   dbservers.sh stop DIR    stops both and removes DIR
#   dbservers.sh env DIR     prints the settings of running servers
#
# Each server gets an owner user (creates and loads databases) and three reading users:
# the screen's, the reports' and the application server's (see db/SchemaDdl.h, DbRole,
# for what each may read). Nothing of the system's own
# database services is used or touched. Idempotent: start on running servers only checks
# them; stop on nothing does nothing.
set -euo pipefail

ME=$(basename "$0")
die() { echo "$ME: $*" >&2; exit 1; }

usage() { echo "uso: $ME start|stop|env PASTA" >&2; exit 2; }
[ $# -eq 2 ] || usage
ACTION=$1
DIR=$2
case "$DIR" in
  /*) ;;
  *) DIR="$(pwd)/$DIR" ;;
esac
case "$DIR" in
  *[[:space:]]*) die "a pasta dos servidores não pode ter espaços: '$DIR'" ;;
esac
# The PostgreSQL socket lives in DIR: its path must fit in a unix socket address.
[ ${#DIR} -le 80 ] || die "a pasta '$DIR' é longa demais para o socket do PostgreSQL; use uma pasta mais curta (até 80 caracteres)"

ENV_FILE="$DIR/servers.env"
REVOKE_SQL="$(cd "$(dirname "$0")/.." && pwd)/db/postgres-revoke.sql"
PG_DIR="$DIR/pg"
FB_DIR="$DIR/fb"
WAIT_SECONDS=${DBSERVERS_WAIT:-30}

PG_BIN=""
for d in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
  if [ -x "$d/initdb" ]; then PG_BIN=$d; break; fi
done
FB_SERVER=/usr/sbin/firebird
FB_ISQL=$(command -v isql-fb || true)
FB_LIB=/usr/lib/x86_64-linux-gnu/firebird/3.0
[ -d "$FB_LIB" ] || FB_LIB=$(dirname "$(find /usr/lib -path '*firebird/3.0/firebird.msg' 2>/dev/null | head -1)" 2>/dev/null || true)
FB_SECURITY_TEMPLATE=/var/lib/firebird/3.0/system/security3.fdb

# Runs a command as the given system user (root drops to it; anyone else runs as self).
as_user() {
  local user=$1; shift
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$user" -- "$@"
  else
    "$@"
  fi
}

own() {
  local user=$1 path=$2
  if [ "$(id -u)" -eq 0 ]; then chown -R "$user:$user" "$path"; fi
}

secret() { head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n'; }

port_in_use() { ss -ltnH "( sport = :$1 )" 2>/dev/null | grep -q .; }

free_port() {
  local p tries=0
  while [ $tries -lt 200 ]; do
    p=$(( 20000 + (RANDOM * 32768 + RANDOM) % 40000 ))
    if ! port_in_use "$p"; then echo "$p"; return 0; fi
    tries=$((tries + 1))
  done
  die "nenhuma porta livre encontrada em 127.0.0.1"
}

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }

pg_pid() { [ -f "$PG_DIR/data/postmaster.pid" ] && head -1 "$PG_DIR/data/postmaster.pid" || true; }
fb_pid() { [ -f "$FB_DIR/firebird.pid" ] && cat "$FB_DIR/firebird.pid" || true; }

# Waits until the given TCP port of loopback accepts connections.
wait_port() {
  local port=$1 pid=$2 what=$3 i=0
  while [ $i -lt $((WAIT_SECONDS * 10)) ]; do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then return 0; fi
    alive "$pid" || return 1
    sleep 0.1
    i=$((i + 1))
  done
  echo "$ME: $what não respondeu em ${WAIT_SECONDS}s na porta $port" >&2
  return 1
}

# Stops a process we started and waits (bounded) for it to go.
stop_pid() {
  local pid=$1 i=0
  alive "$pid" || return 0
  kill -TERM "$pid" 2>/dev/null || true
  while alive "$pid" && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
}

# ---------------------------------------------------------------- PostgreSQL
pg_start() {
  [ -n "$PG_BIN" ] || die "PostgreSQL 15 não está instalado (pacote postgresql-15); rode scripts/setup.sh"
  id postgres >/dev/null 2>&1 || [ "$(id -u)" -ne 0 ] || die "o usuário 'postgres' não existe; rode scripts/setup.sh"
  rm -rf "$PG_DIR"
  mkdir -p "$PG_DIR/sock"
  own postgres "$PG_DIR"
  if ! as_user postgres "$PG_BIN/initdb" -D "$PG_DIR/data" -U postgres -E UTF8 --no-locale --no-sync \
        --auth-local=trust --auth-host=scram-sha-256 >"$PG_DIR/initdb.log" 2>&1; then
    cat "$PG_DIR/initdb.log" >&2
    die "initdb do PostgreSQL falhou (log acima)"
  fi
  local attempt port
  for attempt in 1 2 3 4 5; do
    port=$(free_port)
    # fsync off: the data of a test server is thrown away with its folder.
    if as_user postgres "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t "$WAIT_SECONDS" \
         -o "-p $port -k $PG_DIR/sock -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=60" \
         start </dev/null >"$PG_DIR/pg_ctl.log" 2>&1; then
      PG_PORT=$port
      return 0
    fi
    # A port taken between the check and the start: try another one.
    if ! grep -q -i "address already in use" "$PG_DIR/server.log" 2>/dev/null; then break; fi
  done
  cat "$PG_DIR/pg_ctl.log" "$PG_DIR/server.log" >&2 2>/dev/null || true
  die "o PostgreSQL não iniciou (log acima)"
}

pg_sql() {
  as_user postgres "$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$PG_DIR/sock" -p "$PG_PORT" -U postgres -d "${2:-postgres}" -c "$1" >/dev/null
}

pg_users() {
  PG_OWNER=lpr_dono
  PG_READER=lpr_leitor
  PG_REPORTS=lpr_relatorio
  PG_APPSERVER=lpr_servidor
  PG_OWNER_PASSWORD=$(secret)
  PG_READER_PASSWORD=$(secret)
  PG_REPORTS_PASSWORD=$(secret)
  PG_APPSERVER_PASSWORD=$(secret)
  pg_sql "CREATE ROLE $PG_OWNER LOGIN CREATEDB PASSWORD '$PG_OWNER_PASSWORD'"
  local role
  for role in "$PG_READER:$PG_READER_PASSWORD" "$PG_REPORTS:$PG_REPORTS_PASSWORD" "$PG_APPSERVER:$PG_APPSERVER_PASSWORD"; do
    pg_sql "CREATE ROLE ${role%%:*} LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOINHERIT PASSWORD '${role#*:}'"
    # Every transaction of a reading user is read-only, whatever its grants.
    pg_sql "ALTER ROLE ${role%%:*} SET default_transaction_read_only = on"
  done
  # The reports' statements end on the server even when their client is gone: a
  # report sets its own time limit below this one; this is the ceiling for any other.
  pg_sql "ALTER ROLE $PG_REPORTS SET statement_timeout = '10min'"
  pg_sql "ALTER ROLE $PG_REPORTS SET idle_in_transaction_session_timeout = '1min'"
  # The owner may end the reader's sessions: the tests drop a link that way.
  pg_sql "GRANT pg_signal_backend TO $PG_OWNER"
  # Functions with effects that PUBLIC may call, taken away in template1 (every
  # database of this server is made from it) and in the database made here.
  pg_revoke template1
  # Only the owner and the readers connect; they get their grants when the tables are
  # made (DemoDb::grantRole).
  pg_sql "CREATE DATABASE lpr OWNER $PG_OWNER TEMPLATE template1"
  pg_sql "REVOKE ALL ON DATABASE lpr FROM PUBLIC"
  for role in $PG_READER $PG_REPORTS $PG_APPSERVER; do
    pg_sql "GRANT CONNECT ON DATABASE lpr TO $role"
  done
}

pg_revoke() {
  if ! as_user postgres "$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$PG_DIR/sock" -p "$PG_PORT" -U postgres -d "$1" \
        -v owner="$PG_OWNER" -f - <"$REVOKE_SQL" >"$PG_DIR/revoke.log" 2>&1; then
    cat "$PG_DIR/revoke.log" >&2
    die "não foi possível retirar as funções perigosas dos usuários de leitura na base $1 (log acima)"
  fi
}

# ---------------------------------------------------------------- Firebird
fb_env() {
  echo "FIREBIRD=$FB_DIR/conf" "FIREBIRD_LOCK=$FB_DIR/lock" "FIREBIRD_TMP=$FB_DIR/tmp"
}

fb_start() {
  [ -x "$FB_SERVER" ] || die "o servidor Firebird 3 não está instalado (pacote firebird3.0-server); rode scripts/setup.sh"
  [ -n "$FB_ISQL" ] || die "o isql-fb do Firebird não está instalado (pacote firebird3.0-utils); rode scripts/setup.sh"
  [ -f "$FB_SECURITY_TEMPLATE" ] || die "falta a base de segurança do Firebird ($FB_SECURITY_TEMPLATE); reinstale firebird3.0-server"
  id firebird >/dev/null 2>&1 || [ "$(id -u)" -ne 0 ] || die "o usuário 'firebird' não existe; rode scripts/setup.sh"
  rm -rf "$FB_DIR"
  mkdir -p "$FB_DIR/conf" "$FB_DIR/lock" "$FB_DIR/tmp" "$FB_DIR/data"
  cp "$FB_SECURITY_TEMPLATE" "$FB_DIR/security3.fdb"
  ln -s "$FB_LIB/firebird.msg" "$FB_DIR/conf/firebird.msg"
  cp /etc/firebird/3.0/plugins.conf "$FB_DIR/conf/plugins.conf" 2>/dev/null || : >"$FB_DIR/conf/plugins.conf"
  : >"$FB_DIR/conf/databases.conf"

  FB_OWNER=LPR_DONO
  FB_READER=LPR_LEITOR
  FB_REPORTS=LPR_RELATORIO
  FB_APPSERVER=LPR_SERVIDOR
  FB_OWNER_PASSWORD=$(secret)
  FB_READER_PASSWORD=$(secret)
  FB_REPORTS_PASSWORD=$(secret)
  FB_APPSERVER_PASSWORD=$(secret)
  local sysdba_password
  sysdba_password=$(secret)

  local attempt port pid
  for attempt in 1 2 3 4 5; do
    port=$(free_port)
    cat >"$FB_DIR/conf/firebird.conf" <<EOF
ServerMode = Super
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $FB_DIR/security3.fdb
DatabaseAccess = Restrict $FB_DIR/data
UdfAccess = None
ExternalFileAccess = None
AuthServer = Srp
UserManager = Srp
WireCrypt = Enabled
DefaultDbCachePages = 2048
EOF
    own firebird "$FB_DIR"
    if [ "$attempt" -eq 1 ]; then
      # The users, written straight into the security database (embedded, server down).
      if ! as_user firebird env $(fb_env) "$FB_ISQL" -q -user SYSDBA "$FB_DIR/security3.fdb" >"$FB_DIR/users.log" 2>&1 <<EOF
CREATE OR ALTER USER SYSDBA PASSWORD '$sysdba_password' USING PLUGIN Srp;
CREATE OR ALTER USER $FB_OWNER PASSWORD '$FB_OWNER_PASSWORD' USING PLUGIN Srp;
CREATE OR ALTER USER $FB_READER PASSWORD '$FB_READER_PASSWORD' USING PLUGIN Srp;
CREATE OR ALTER USER $FB_REPORTS PASSWORD '$FB_REPORTS_PASSWORD' USING PLUGIN Srp;
CREATE OR ALTER USER $FB_APPSERVER PASSWORD '$FB_APPSERVER_PASSWORD' USING PLUGIN Srp;
GRANT CREATE DATABASE TO USER $FB_OWNER;
COMMIT;
EOF
      then
        cat "$FB_DIR/users.log" >&2
        die "não foi possível criar os usuários do Firebird (log acima)"
      fi
    fi
    cat >"$FB_DIR/run.sh" <<EOF
#!/bin/sh
echo \$\$ >"$FB_DIR/firebird.pid"
export $(fb_env)
exec "$FB_SERVER"
EOF
    rm -f "$FB_DIR/firebird.pid"
    own firebird "$FB_DIR"
    # Detached, and holding none of our output: a caller that waits for it to close
    # (ctest) must not wait for the server.
    if [ "$(id -u)" -eq 0 ]; then
      setsid runuser -u firebird -- sh "$FB_DIR/run.sh" </dev/null >>"$FB_DIR/server.log" 2>&1 &
    else
      setsid sh "$FB_DIR/run.sh" </dev/null >>"$FB_DIR/server.log" 2>&1 &
    fi
    local i=0
    while [ ! -s "$FB_DIR/firebird.pid" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    pid=$(fb_pid)
    if wait_port "$port" "$pid" "o Firebird"; then
      FB_PORT=$port
      break
    fi
    stop_pid "$pid"
    rm -f "$FB_DIR/firebird.pid"
    FB_PORT=""
  done
  if [ -z "${FB_PORT:-}" ]; then
    cat "$FB_DIR/server.log" >&2 2>/dev/null || true
    die "o Firebird não iniciou (log acima)"
  fi

  # A database ready for gerabase and the benchmarks.
  if ! "$FB_ISQL" -q >"$FB_DIR/create.log" 2>&1 <<EOF
CREATE DATABASE '127.0.0.1/$FB_PORT:$FB_DIR/data/lpr.fdb' USER '$FB_OWNER' PASSWORD '$FB_OWNER_PASSWORD' DEFAULT CHARACTER SET UTF8;
EOF
  then
    cat "$FB_DIR/create.log" >&2
    die "não foi possível criar a base do Firebird (log acima)"
  fi
}

# ---------------------------------------------------------------- actions
running() {
  # Servers started by an older version of this script lack users: they are restarted.
  [ -f "$ENV_FILE" ] && grep -q '^FB_APPSERVER=' "$ENV_FILE" && alive "$(pg_pid)" && alive "$(fb_pid)"
}

do_stop() {
  if [ -n "$PG_BIN" ] && alive "$(pg_pid)"; then
    as_user postgres "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate -w -t 10 stop >/dev/null 2>&1 || stop_pid "$(pg_pid)"
  fi
  stop_pid "$(fb_pid)"
  rm -rf "$DIR"
}

do_start() {
  if running; then
    echo "Servidores já em execução: $ENV_FILE"
    return 0
  fi
  # Leftovers of an interrupted run go first.
  [ -e "$DIR" ] && do_stop
  mkdir -p "$DIR"
  chmod 755 "$DIR"
  for u in postgres firebird; do
    if [ "$(id -u)" -eq 0 ] && ! runuser -u "$u" -- test -x "$DIR"; then
      rm -rf "$DIR"
      die "o usuário '$u' não consegue entrar em $DIR (permissões das pastas acima dela); use uma pasta em /tmp"
    fi
  done
  # Whatever fails on the way, nothing is left running.
  trap 'do_stop' EXIT
  pg_start
  pg_users
  fb_start
  trap - EXIT
  cat >"$ENV_FILE.tmp" <<EOF
# Database servers of $DIR (written by $ME; removed by '$ME stop $DIR').
PG_HOST=127.0.0.1
PG_PORT=$PG_PORT
PG_SOCKET_DIR=$PG_DIR/sock
PG_DATABASE=lpr
PG_OWNER=$PG_OWNER
PG_OWNER_PASSWORD=$PG_OWNER_PASSWORD
PG_READER=$PG_READER
PG_READER_PASSWORD=$PG_READER_PASSWORD
PG_REPORTS=$PG_REPORTS
PG_REPORTS_PASSWORD=$PG_REPORTS_PASSWORD
PG_APPSERVER=$PG_APPSERVER
PG_APPSERVER_PASSWORD=$PG_APPSERVER_PASSWORD
FB_HOST=127.0.0.1
FB_PORT=$FB_PORT
FB_DATA_DIR=$FB_DIR/data
FB_DATABASE=$FB_DIR/data/lpr.fdb
FB_OWNER=$FB_OWNER
FB_OWNER_PASSWORD=$FB_OWNER_PASSWORD
FB_READER=$FB_READER
FB_READER_PASSWORD=$FB_READER_PASSWORD
FB_REPORTS=$FB_REPORTS
FB_REPORTS_PASSWORD=$FB_REPORTS_PASSWORD
FB_APPSERVER=$FB_APPSERVER
FB_APPSERVER_PASSWORD=$FB_APPSERVER_PASSWORD
FB_ISQL=$FB_ISQL
EOF
  chmod 644 "$ENV_FILE.tmp"
  mv "$ENV_FILE.tmp" "$ENV_FILE"
  echo "PostgreSQL em 127.0.0.1:$PG_PORT e Firebird em 127.0.0.1:$FB_PORT; configurações em $ENV_FILE"
}

case "$ACTION" in
  start) do_start ;;
  stop) do_stop; echo "Servidores de $DIR parados." ;;
  env)
    running || die "os servidores de $DIR não estão em execução; rode '$ME start $DIR'"
    cat "$ENV_FILE" ;;
  *) usage ;;
esac
