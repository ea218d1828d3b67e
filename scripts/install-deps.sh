#!/usr/bin/env bash
# Installs every Debian package that the build and the Linux tests need
# (clang and its runtime for the fuzz targets; unixODBC with the SQLite,
# PostgreSQL 15 and MariaDB 10.11 servers and their ODBC drivers for the
# database tests; Firebird's embedded engine, its server and isql-fb for
# the Firebird tests, and the Firebird client library with its headers for
# the FIREBIRD provider. The servers are started by scripts/db-servers.sh
# on ports and folders of their own; no system service is used).
# Safe to run again; skips apt when everything is present already.
set -euo pipefail
bash "$(dirname "$0")/apt-install.sh" \
  build-essential cmake ninja-build pkg-config python3 \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libxml2-dev unixodbc-dev libsqlite3-dev \
  clang libclang-rt-14-dev \
  unixodbc odbcinst libsqliteodbc sqlite3 \
  postgresql odbc-postgresql \
  mariadb-server mariadb-client odbc-mariadb \
  firebird3.0-server-core firebird3.0-server firebird3.0-utils firebird-dev
