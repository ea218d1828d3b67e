#!/usr/bin/env bash
# The database servers of the tests: a PostgreSQL, a MariaDB and a Firebird
# server of their own, on 127.0.0.1 only, on ports picked free at start,
# with their data, socket and log files under DIR, and the ODBC
# configuration of the three ODBC test data sources (SQLite, PostgreSQL,
# MariaDB) under DIR too. (The Firebird tests also use an embedded
# database under DIR/firebird, made by the tests themselves.)
# No system service, /etc or home folder is used.
#
#   scripts/db-servers.sh start DIR           fresh servers (whatever DIR held goes)
#   scripts/db-servers.sh stop DIR            stops them (logs and data stay,
#                                             ports.env goes); safe to call again
#   scripts/db-servers.sh restart DIR ENGINE  ENGINE pg, mariadb or fbserver: stops and starts
#                                             that server on its port and data
#   scripts/db-servers.sh env DIR             prints the export lines for a shell
#
# DIR must be reachable by the postgres user when run as root (a folder under
# /tmp is); PostgreSQL runs as postgres, MariaDB and Firebird as the caller.
# Servers are ended by the process ids recorded in DIR/pg/server.pid,
# DIR/mariadb/server.pid and DIR/fbserver/server.pid (after checking that
# the process is the server of that folder).
#
# DIR/ports.env, written once both servers answer, holds KEY=VALUE lines:
#   ORV_DB_DIR ODBCSYSINI ODBCINI ORV_TEST_PG_PORT ORV_TEST_PG_SOCKET_DIR
#   ORV_TEST_MARIADB_PORT ORV_TEST_MARIADB_SOCKET ORV_TEST_SQLITE_DB
#   ORV_TEST_DB_NAME ORV_TEST_DB_USER ORV_TEST_DB_PASSWORD
#   ORV_TEST_FBSERVER_PORT ORV_TEST_FBSERVER_DB (the Firebird server's
#   database as a client names it, 127.0.0.1/PORT:PATH; user SYSDBA)
# The data sources (DIR/odbc.ini, drivers in DIR/odbcinst.ini) are
# velkra_sqlite, velkra_pg and velkra_mariadb; user velkra, password
# velkra-secret, database velkra_test (the user may create databases).
set -euo pipefail

readonly DB_NAME=velkra_test
readonly DB_USER=velkra
readonly DB_PASSWORD=velkra-secret
readonly PG_FIRST_PORT=55432
readonly MARIADB_FIRST_PORT=53306
readonly FB_FIRST_PORT=53050
readonly PORT_TRIES=100
readonly READY_SECONDS=30
readonly STOP_SECONDS=20
# Held while ports are picked and servers started or restarted, so that two
# runs (the normal and the sanitizer builds, other checkouts) never pick the
# same port, nor one's restart lose its port to the other's start.
readonly LOCK_FILE=/tmp/orv-db-servers.lock

die() { echo "db-servers: $*" >&2; exit 1; }
note() { echo "db-servers: $*" >&2; }

usage() {
  sed -n '2,31p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

[ "$#" -ge 2 ] || usage
cmd="$1"
dir="$2"
case "$dir" in
  /*) ;;
  *) dir="$(pwd)/$dir" ;;
esac
dir="${dir%/}"
# The path goes unquoted into ini files, ports.env and server options.
if [[ ! "$dir" =~ ^[A-Za-z0-9_./+-]+$ ]] || [[ "$dir" == *"/.."* ]]; then
  die "DIR may hold only letters, digits and _ . / + - and no .. (got '$dir')"
fi

pg_dir="$dir/pg"
pg_data="$pg_dir/data"
pg_run="$pg_dir/run"
pg_pidfile="$pg_dir/server.pid"
my_dir="$dir/mariadb"
my_data="$my_dir/data"
my_run="$my_dir/run"
my_socket="$my_run/mariadb.sock"
my_pidfile="$my_dir/server.pid"
fb_dir="$dir/fbserver"
fb_root="$fb_dir/root"
fb_pidfile="$fb_dir/server.pid"
fb_db="$fb_dir/data/velkra.fdb"
sqlite_db="$dir/sqlite/test.db"
ports_env="$dir/ports.env"

# A Unix socket path has at most 107 bytes.
if [ "${#pg_run}" -gt 90 ] || [ "${#my_socket}" -gt 100 ]; then
  die "DIR is too long for the servers' socket paths: $dir"
fi

if [ "$(id -u)" -eq 0 ]; then
  as_postgres=(setpriv --reuid=postgres --regid=postgres --init-groups)
  my_user=root
else
  as_postgres=()
  my_user="$(id -un)"
fi

pg_bin() {
  local d
  for d in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
    if [ -x "$d/postgres" ] && [ -x "$d/initdb" ]; then echo "$d"; return; fi
  done
  die "PostgreSQL server programs not found (package postgresql); run scripts/install-deps.sh"
}

need() {
  command -v "$1" >/dev/null 2>&1 || die "$1 not found (package $2); run scripts/install-deps.sh"
}

# The path of an ODBC driver library: package, file name.
driver_path() {
  local p d
  p="$(dpkg-query -L "$1" 2>/dev/null | grep "/$2\$" | head -n 1 || true)"
  if [ -z "$p" ]; then
    for d in /usr/lib/*/odbc /usr/lib/odbc /usr/lib64/odbc /usr/local/lib; do
      if [ -e "$d/$2" ]; then p="$d/$2"; break; fi
    done
  fi
  { [ -n "$p" ] && [ -e "$p" ]; } || die "ODBC driver $2 (package $1) not found; run scripts/install-deps.sh"
  echo "$p"
}

# Closes every descriptor above 2 of the calling (sub)shell, so that a
# server keeps neither the lock nor a socket or pipe of whoever ran this.
close_extra_fds() {
  local fd n
  for fd in /proc/self/fd/*; do
    n="${fd##*/}"
    if [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 2 ]; then
      eval "exec $n>&-" 2>/dev/null || true
    fi
  done
}

take_lock() {
  exec 9>>"$LOCK_FILE"
  flock -w 300 9 || die "could not take $LOCK_FILE within 300 s"
}

# True when something accepts connections on 127.0.0.1:port (a listener on
# 127.0.0.1, on every address, or a dual-stack IPv6 one).
port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# True when pid is a live (not zombie) process whose command line names the
# data folder, that is, the server this script started there.
is_our_server() {  # pid data-folder
  local pid="$1" data="$2" state cmdline
  [[ "$pid" =~ ^[0-9]+$ ]] || return 1
  [ -r "/proc/$pid/stat" ] || return 1
  state="$(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1)" || return 1
  [ "$state" != "Z" ] || return 1
  cmdline="$(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null)" || return 1
  [[ "$cmdline" == *"$data"* ]]
}

# Ends the server recorded in pidfile: signal, up to STOP_SECONDS for it to
# go, then KILL. The pid file goes afterwards.
stop_server() {  # name pidfile data-folder signal
  local name="$1" pidfile="$2" data="$3" sig="$4" pid i
  [ -f "$pidfile" ] || return 0
  pid="$(head -n 1 "$pidfile" 2>/dev/null || true)"
  if is_our_server "$pid" "$data"; then
    kill "-$sig" "$pid" 2>/dev/null || true
    for ((i = 0; i < STOP_SECONDS * 10; i++)); do
      is_our_server "$pid" "$data" || break
      sleep 0.1
    done
    if is_our_server "$pid" "$data"; then
      note "$name (pid $pid) did not stop within ${STOP_SECONDS} s; killing it"
      kill -KILL "$pid" 2>/dev/null || true
      for ((i = 0; i < 100; i++)); do
        is_our_server "$pid" "$data" || break
        sleep 0.1
      done
    fi
    is_our_server "$pid" "$data" && die "$name (pid $pid) is still running"
    note "$name stopped (pid $pid)"
  fi
  rm -f "$pidfile"
}

# PostgreSQL's fast shutdown (SIGINT) ends client sessions; its SIGTERM
# would wait for every client to leave.
stop_pg() { stop_server PostgreSQL "$pg_pidfile" "$pg_data" INT; }
stop_mariadb() { stop_server MariaDB "$my_pidfile" "$my_data" TERM; }
# The Firebird server ends at SIGINT; it does not heed SIGTERM.
stop_fb() { stop_server Firebird "$fb_pidfile" "$fb_root" INT; }

tail_log() {  # file
  if [ -f "$1" ]; then
    echo "---- last lines of $1" >&2
    tail -n 25 "$1" >&2 || true
  fi
}

# Waits until probe succeeds while the server pid lives. Returns 0 when
# ready, 1 when the server ended, 2 on time-out.
wait_ready() {  # pid data-folder probe...
  local pid="$1" data="$2" i
  shift 2
  for ((i = 0; i < READY_SECONDS * 10; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    is_our_server "$pid" "$data" || return 1
    sleep 0.1
  done
  return 2
}

# Waits for a server just launched, its pid recorded in pidfile, to answer
# probe on port. Returns 0 when it answers, 3 when it ended and taken says
# the port was another's; ends the script on anything else.
await_launch() {  # name pid pidfile data-folder log stop-function taken probe port
  local name="$1" pid="$2" pidfile="$3" data="$4" log="$5" stop="$6" taken="$7" probe="$8" port="$9"
  local status=0
  echo "$pid" >"$pidfile"
  wait_ready "$pid" "$data" "$probe" "$port" || status=$?
  case "$status" in
    0) note "$name ready on 127.0.0.1:$port (pid $pid)"; return 0 ;;
    1)
      rm -f "$pidfile"
      if "$taken" "$port"; then return 3; fi
      tail_log "$log"
      die "$name ended while starting (log: $log)" ;;
    *)
      tail_log "$log"
      "$stop"
      die "$name did not answer within ${READY_SECONDS} s (log: $log)" ;;
  esac
}

pg_ready() {  # port
  pg_isready -q -h "$pg_run" -p "$1" -d postgres -U postgres &&
    pg_isready -q -h 127.0.0.1 -p "$1" -d postgres -U postgres
}

# Starts PostgreSQL on port over the existing data folder. Returns 0 when it
# answers, 3 when the port turned out to be taken; fails on anything else.
launch_pg() {  # port
  local port="$1" bin
  bin="$(pg_bin)"
  {
    echo "==== $(date '+%F %T') starting on 127.0.0.1:$port"
  } >>"$pg_dir/server.log"
  (
    cd "$pg_dir"
    close_extra_fds
    exec "${as_postgres[@]}" "$bin/postgres" -D "$pg_data" -p "$port" \
      -c listen_addresses=127.0.0.1 -c unix_socket_directories="$pg_run" \
      -c fsync=off -c synchronous_commit=off -c full_page_writes=off \
      -c logging_collector=off
  ) </dev/null >>"$pg_dir/server.log" 2>&1 9>&- &
  await_launch PostgreSQL $! "$pg_pidfile" "$pg_data" "$pg_dir/server.log" stop_pg pg_port_taken pg_ready "$port"
}

pg_port_taken() { tail -n 20 "$pg_dir/server.log" | grep -q "Address already in use"; }

# The server answers root on its socket and accepts TCP connections.
my_ready() {  # port
  mariadb-admin --no-defaults --socket="$my_socket" -u root --connect-timeout=2 ping &&
    port_in_use "$1"
}

# Starts MariaDB on port over the existing data folder; returns as launch_pg.
launch_mariadb() {  # port
  local port="$1"
  echo "==== $(date '+%F %T') starting on 127.0.0.1:$port" >>"$my_dir/error.log"
  (
    cd "$my_dir"
    close_extra_fds
    exec mariadbd --no-defaults --user="$my_user" --datadir="$my_data" \
      --bind-address=127.0.0.1 --port="$port" --socket="$my_socket" --skip-networking=0 \
      --pid-file="$my_run/mariadbd.pid" --log-error="$my_dir/error.log" \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
      --skip-name-resolve --innodb-flush-log-at-trx-commit=2
  ) </dev/null >>"$my_dir/server.out" 2>&1 9>&- &
  await_launch MariaDB $! "$my_pidfile" "$my_data" "$my_dir/error.log" stop_mariadb my_port_taken my_ready "$port"
}

my_port_taken() { tail -n 20 "$my_dir/error.log" | grep -qi "Address already in use"; }

# The Firebird server: a root folder of its own (firebird.conf: 127.0.0.1
# and the port only, its own security database), lock and sort folders.
# The security database is a copy of the one the package made, SYSDBA's
# password set to the tests' one through the embedded engine.
fb_env() { env FIREBIRD="$fb_root" FIREBIRD_LOCK="$fb_dir/lock" FIREBIRD_TMP="$fb_dir/tmp" "$@"; }

fb_write_conf() {  # port
  cat >"$fb_root/firebird.conf" <<EOF
# The tests' Firebird server: 127.0.0.1 only, on its own port and
# security database.
ServerMode = Super
RemoteServicePort = $1
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $fb_dir/security3.fdb
Providers = Engine12
AuthServer = Srp
UserManager = Srp
WireCrypt = Enabled
EOF
}

init_fb() {
  local security=/var/lib/firebird/3.0/system/security3.fdb
  [ -r "$security" ] || die "$security not found (package firebird3.0-server); run scripts/install-deps.sh"
  mkdir -p "$fb_root" "$fb_dir/lock" "$fb_dir/tmp" "$fb_dir/data"
  cp "$security" "$fb_dir/security3.fdb"
  chmod 600 "$fb_dir/security3.fdb"
  fb_write_conf "$FB_FIRST_PORT"
  printf '%s\n' "create or alter user SYSDBA password '$DB_PASSWORD' using plugin Srp;" "commit;" |
    fb_env isql-fb -q -user SYSDBA "$fb_dir/security3.fdb" >"$fb_dir/init.log" 2>&1 || {
    tail_log "$fb_dir/init.log"
    die "could not set the Firebird server's SYSDBA password (log: $fb_dir/init.log)"
  }
}

fb_ready() {  # port
  port_in_use "$1"
}

# Starts the Firebird server on port; returns as launch_pg.
launch_fb() {  # port
  local port="$1"
  fb_write_conf "$port"
  echo "==== $(date '+%F %T') starting on 127.0.0.1:$port" >>"$fb_dir/server.out"
  (
    cd "$fb_dir"
    close_extra_fds
    # The port comes from firebird.conf: a port given with -p makes the
    # server listen on every interface, whatever RemoteBindAddress says.
    exec env FIREBIRD="$fb_root" FIREBIRD_LOCK="$fb_dir/lock" FIREBIRD_TMP="$fb_dir/tmp" \
      /usr/sbin/firebird -e "$fb_root" -el "$fb_dir/lock"
  ) </dev/null >>"$fb_dir/server.out" 2>&1 9>&- &
  await_launch "The Firebird server" $! "$fb_pidfile" "$fb_root" "$fb_dir/server.out" stop_fb port_in_use fb_ready "$port"
}

# The tests' database on the server, made through the server itself.
make_fb_database() {  # port
  printf '%s\n' "create database '127.0.0.1/$1:$fb_db' user 'SYSDBA' password '$DB_PASSWORD' page_size 8192 default character set utf8;" |
    isql-fb -q >"$fb_dir/create.log" 2>&1 || {
    tail_log "$fb_dir/create.log"
    die "could not create $fb_db on the Firebird server"
  }
  [ -f "$fb_db" ] || die "the Firebird server did not create $fb_db"
}

# Picks a free port from first on and starts the server there with launch;
# prints the port.
start_on_free_port() {  # launch-function first-port
  local launch="$1" port="$2" last status
  last=$((port + PORT_TRIES))
  for (( ; port < last; port++)); do
    port_in_use "$port" && continue
    status=0
    "$launch" "$port" >&2 || status=$?
    if [ "$status" -eq 0 ]; then echo "$port"; return 0; fi
    [ "$status" -eq 3 ] || return "$status"
  done
  die "no free port in $2..$((last - 1)) on 127.0.0.1"
}

init_pg() {
  local bin
  bin="$(pg_bin)"
  mkdir -p "$pg_data" "$pg_run"
  chmod 700 "$pg_data"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R postgres:postgres "$pg_dir"
    "${as_postgres[@]}" test -w "$pg_dir" -a -x "$pg_dir" ||
      die "the postgres user cannot reach $pg_dir; use a DIR whose parent folders others may enter (under /tmp)"
  fi
  (
    cd "$pg_dir"
    "${as_postgres[@]}" "$bin/initdb" -D "$pg_data" -U postgres -E UTF8 --locale=C.UTF-8 \
      --auth-local=trust --auth-host=scram-sha-256 --no-sync
  ) </dev/null >"$pg_dir/initdb.log" 2>&1 9>&- || {
    tail_log "$pg_dir/initdb.log"
    die "initdb failed (log: $pg_dir/initdb.log)"
  }
}

make_pg_user() {  # port
  psql -X -q -v ON_ERROR_STOP=1 -h "$pg_run" -p "$1" -U postgres -d postgres \
    -c "CREATE ROLE $DB_USER LOGIN CREATEDB PASSWORD '$DB_PASSWORD'" \
    -c "CREATE DATABASE $DB_NAME OWNER $DB_USER ENCODING 'UTF8'" </dev/null >/dev/null ||
    die "could not create the PostgreSQL user and database"
}

init_mariadb() {
  mkdir -p "$my_data" "$my_run"
  (
    cd "$my_dir"
    mariadb-install-db --no-defaults --user="$my_user" --datadir="$my_data" --skip-test-db \
      --skip-name-resolve --auth-root-authentication-method=socket
  ) </dev/null >"$my_dir/install.log" 2>&1 9>&- || {
    tail_log "$my_dir/install.log"
    die "mariadb-install-db failed (log: $my_dir/install.log)"
  }
}

make_mariadb_user() {
  local u
  {
    echo "CREATE DATABASE $DB_NAME CHARACTER SET utf8mb4;"
    for u in "'$DB_USER'@'%'" "'$DB_USER'@'localhost'" "'$DB_USER'@'127.0.0.1'"; do
      echo "CREATE USER $u IDENTIFIED BY '$DB_PASSWORD';"
      echo "GRANT ALL PRIVILEGES ON *.* TO $u;"
    done
  } | mariadb --no-defaults --socket="$my_socket" -u root ||
    die "could not create the MariaDB user and database"
}

write_odbc_files() {  # pg-port mariadb-port
  local sqlite_driver pg_driver my_driver
  sqlite_driver="$(driver_path libsqliteodbc libsqlite3odbc.so)"
  pg_driver="$(driver_path odbc-postgresql psqlodbcw.so)"
  my_driver="$(driver_path odbc-mariadb libmaodbc.so)"
  # DontDLClose keeps a driver loaded after its last connection closes (the
  # drivers are not made to be loaded again and again in one process).
  cat >"$dir/odbcinst.ini" <<EOF
[ODBC]
Trace=No

[SQLite3]
Description=SQLite3 ODBC driver
Driver=$sqlite_driver
DontDLClose=1
UsageCount=1

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$pg_driver
DontDLClose=1
UsageCount=1

[MariaDB Unicode]
Description=MariaDB Connector/ODBC (Unicode)
Driver=$my_driver
DontDLClose=1
UsageCount=1
EOF
  cat >"$dir/odbc.ini" <<EOF
[velkra_sqlite]
Description=Test database (SQLite file)
Driver=SQLite3
Database=$sqlite_db
Timeout=10000

[velkra_pg]
Description=Test database (PostgreSQL)
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$1
Database=$DB_NAME
BoolsAsChar=0
SSLmode=disable

[velkra_mariadb]
Description=Test database (MariaDB)
Driver=MariaDB Unicode
SERVER=127.0.0.1
PORT=$2
DATABASE=$DB_NAME
CHARSET=utf8mb4
EOF
}

write_ports_env() {  # pg-port mariadb-port firebird-port
  cat >"$ports_env.tmp" <<EOF
ORV_DB_DIR=$dir
ODBCSYSINI=$dir
ODBCINI=$dir/odbc.ini
ORV_TEST_PG_PORT=$1
ORV_TEST_PG_SOCKET_DIR=$pg_run
ORV_TEST_MARIADB_PORT=$2
ORV_TEST_MARIADB_SOCKET=$my_socket
ORV_TEST_SQLITE_DB=$sqlite_db
ORV_TEST_DB_NAME=$DB_NAME
ORV_TEST_DB_USER=$DB_USER
ORV_TEST_DB_PASSWORD=$DB_PASSWORD
ORV_TEST_FBSERVER_PORT=$3
ORV_TEST_FBSERVER_DB=127.0.0.1/$3:$fb_db
EOF
  mv -f "$ports_env.tmp" "$ports_env"
}

# A value of ports.env.
env_value() {  # key
  local v
  [ -f "$ports_env" ] || die "$ports_env is missing: start the servers first (scripts/db-servers.sh start $dir)"
  v="$(sed -n "s/^$1=//p" "$ports_env" | tail -n 1)"
  [ -n "$v" ] || die "$ports_env has no $1"
  echo "$v"
}

do_start() {
  local pg_port my_port fb_port
  need pg_isready postgresql-client
  need psql postgresql-client
  need mariadbd mariadb-server
  need mariadb-install-db mariadb-server
  need mariadb mariadb-client
  need mariadb-admin mariadb-client
  need sqlite3 sqlite3
  need isql-fb firebird3.0-utils
  [ -x /usr/sbin/firebird ] || die "/usr/sbin/firebird not found (package firebird3.0-server); run scripts/install-deps.sh"
  pg_bin >/dev/null
  take_lock

  mkdir -p "$dir"
  chmod 755 "$dir"
  stop_pg
  stop_mariadb
  stop_fb
  rm -rf "$pg_dir" "$my_dir" "$fb_dir" "$dir/sqlite" "$ports_env" "$dir/odbc.ini" "$dir/odbcinst.ini"
  mkdir -p "$pg_dir" "$my_dir" "$fb_dir" "$dir/sqlite"

  # Whatever fails from here stops what was started.
  trap 'status=$?; if [ "$status" -ne 0 ]; then stop_pg || true; stop_mariadb || true; stop_fb || true; fi' EXIT

  init_pg
  pg_port="$(start_on_free_port launch_pg "$PG_FIRST_PORT")"
  make_pg_user "$pg_port"

  init_mariadb
  my_port="$(start_on_free_port launch_mariadb "$MARIADB_FIRST_PORT")"
  make_mariadb_user
  MYSQL_PWD="$DB_PASSWORD" mariadb --no-defaults --protocol=TCP -h 127.0.0.1 -P "$my_port" \
    -u "$DB_USER" -D "$DB_NAME" -e "SELECT 1" >/dev/null ||
    die "MariaDB does not let $DB_USER in over 127.0.0.1:$my_port"
  PGPASSWORD="$DB_PASSWORD" psql -X -q -h 127.0.0.1 -p "$pg_port" -U "$DB_USER" -d "$DB_NAME" \
    -c "SELECT 1" </dev/null >/dev/null ||
    die "PostgreSQL does not let $DB_USER in over 127.0.0.1:$pg_port"

  init_fb
  fb_port="$(start_on_free_port launch_fb "$FB_FIRST_PORT")"
  make_fb_database "$fb_port"

  sqlite3 "$sqlite_db" "PRAGMA journal_mode=WAL;" >/dev/null || die "could not create $sqlite_db"
  write_odbc_files "$pg_port" "$my_port"
  write_ports_env "$pg_port" "$my_port" "$fb_port"
  trap - EXIT
  note "servers ready; data sources in $dir/odbc.ini; variables in $ports_env"
}

do_stop() {
  [ -d "$dir" ] || return 0
  take_lock
  stop_pg
  stop_mariadb
  stop_fb
  rm -f "$ports_env"
}

do_restart() {
  local engine="$1" port status=0
  take_lock
  case "$engine" in
    pg)
      port="$(env_value ORV_TEST_PG_PORT)"
      stop_pg
      launch_pg "$port" || status=$?
      ;;
    mariadb)
      port="$(env_value ORV_TEST_MARIADB_PORT)"
      stop_mariadb
      launch_mariadb "$port" || status=$?
      ;;
    fbserver)
      port="$(env_value ORV_TEST_FBSERVER_PORT)"
      stop_fb
      launch_fb "$port" || status=$?
      ;;
    *) die "unknown engine '$engine' (pg, mariadb or fbserver)" ;;
  esac
  [ "$status" -eq 0 ] || die "port $port on 127.0.0.1 was taken while $engine restarted"
}

do_env() {
  local line
  [ -f "$ports_env" ] || die "$ports_env is missing: start the servers first (scripts/db-servers.sh start $dir)"
  while IFS= read -r line; do
    [ -n "$line" ] && echo "export ${line%%=*}='${line#*=}'"
  done <"$ports_env"
}

case "$cmd" in
  start) [ "$#" -eq 2 ] || usage; do_start ;;
  stop) [ "$#" -eq 2 ] || usage; do_stop ;;
  restart) [ "$#" -eq 3 ] || usage; do_restart "$3" ;;
  env) [ "$#" -eq 2 ] || usage; do_env ;;
  *) usage ;;
esac
