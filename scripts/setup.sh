#!/usr/bin/env bash
# Installs the Debian packages the project needs, when they are missing. Idempotent.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-ibase
  libgl-dev libxkbcommon-dev
  libxlsxwriter-dev
  sqlite3 xvfb xauth poppler-utils fonts-dejavu-core
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
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
