#!/usr/bin/env bash
# Installs every Debian package Tarvimo needs to build, test, fuzz and benchmark.
# Idempotent: packages already present are skipped, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  qt6-base-dev libqt6sql6-sqlite
  libcurl4-openssl-dev libssl-dev openssl zlib1g-dev libpcre2-dev
  libcpp-httplib-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  tinyproxy python3 nginx-light curl wget python3-scrapy time
  xvfb xauth fonts-wqy-microhei imagemagick
  libxlsxwriter-dev libqt6sql6-mysql libqt6sql6-odbc unixodbc unixodbc-dev libsqliteodbc
  mariadb-server mariadb-client sqlite3 xdg-utils unzip
  libqt6svg6 qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
