#!/usr/bin/env bash
# Installs the Debian packages the project needs, when they are missing. Idempotent.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-ibase
  libgl-dev libxkbcommon-dev
  libpq-dev libsqlite3-dev zlib1g-dev libdeflate-dev libcups2-dev libssl-dev
  postgresql-15 postgresql-client-15 firebird3.0-server firebird3.0-utils
  sqlite3 xvfb xauth poppler-utils fonts-dejavu-core openssl unzip haproxy python3
  clang-14 libclang-rt-14-dev
  qt6-translations-l10n
  libqt6svg6
  # make package and its test: CPack's dpkg-shlibdeps, lintian, a fresh Debian root for the
  # install, systemd-analyze for the units.
  dpkg-dev lintian mmdebstrap systemd
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Faltam pacotes (${missing[*]}) e não há sudo para instalá-los." >&2; exit 1; }
  SUDO="sudo"
fi
echo "Instalando: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# A server package may try to start its system service: that may fail or be refused, the
# project never relies on it (scripts/dbservers.sh runs its own servers).
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
