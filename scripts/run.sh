#!/usr/bin/env bash
# Creates the demo database and the session file on first use, starts the application
# server on loopback, then the shell with the price-list screen open. Without a display it
# issues the demo price list with a display-less run and says where the file is.
set -euo pipefail
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN="$ROOT/$BUILD/bin"
DATA="$ROOT/data"
mkdir -p "$DATA"

if [ ! -f "$DATA/suite.db" ]; then
  echo "Criando o banco de demonstração em $DATA/suite.db ..."
  "$BIN/gerabase" --out "$DATA/suite.db"
fi
# Session file, key and certificate hold secrets: readable by their owner only.
umask 077
CERT="$DATA/lpr07700.crt"
KEY="$DATA/lpr07700.key"
if [ ! -f "$KEY" ] || [ ! -f "$CERT" ]; then
  echo "Criando a chave e o certificado (autoassinado) do servidor de aplicação em $DATA ..."
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
    -subj "/CN=Lpr07700" -keyout "$KEY" -out "$CERT" 2>/dev/null
fi
chmod 600 "$KEY"
FINGERPRINT=$(openssl x509 -in "$CERT" -noout -fingerprint -sha256 | sed 's/^.*=//')

PORT=${SUITE_SERVER_PORT:-21173}
if [ ! -f "$DATA/suite.ini" ]; then
  TOKEN=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
  cat > "$DATA/suite.ini" <<INI
[Sessao]
Filial=0001
VinculadoFilial=false
Modulo=4

[BancoDados]
Driver=QSQLITE
Banco=suite.db

[ServidorAplicacao]
Host=127.0.0.1
Porta=$PORT
Token=$TOKEN
Certificado=lpr07700.crt
Chave=lpr07700.key
ImpressaoDigital=$FINGERPRINT

[Relatorios]
Diretorio=$ROOT/reports
INI
  echo "Sessão gravada em $DATA/suite.ini"
else
  # A session file of an earlier version: the keys of the TLS link are added (the
  # certificate made here, its fingerprint) and the file is narrowed to its owner.
  chmod 600 "$DATA/suite.ini"
  for entry in "Certificado=lpr07700.crt" "Chave=lpr07700.key" "ImpressaoDigital=$FINGERPRINT"; do
    key=${entry%%=*}
    if ! awk -F= -v k="$key" '/^\[/{sec=$0} sec=="[ServidorAplicacao]" && $1==k{found=1} END{exit !found}' "$DATA/suite.ini"; then
      sed -i "/^\[ServidorAplicacao\]/a $entry" "$DATA/suite.ini"
      echo "Sessão $DATA/suite.ini: $key incluído em [ServidorAplicacao]"
    fi
  done
fi

# The port the session file names (it may have been edited since it was written).
PORT=$(awk -F= '/^\[/{sec=$0} sec=="[ServidorAplicacao]" && $1=="Porta"{print $2}' "$DATA/suite.ini" | tr -d ' \r')
PORT=${PORT:-21173}
"$BIN/Lpr07700" --config "$DATA/suite.ini" &
SERVER=$!
trap 'kill $SERVER 2>/dev/null || true; wait $SERVER 2>/dev/null || true' EXIT
# Wait (10 s at most) until the server answers on its port.
for _ in $(seq 1 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && break
  kill -0 $SERVER 2>/dev/null || { echo "O servidor Lpr07700 não iniciou (veja a mensagem acima)." >&2; exit 1; }
  sleep 0.1
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  OUT="$DATA/LPR077-demo.pdf"
  echo "Sem display gráfico: emitindo a lista de preços de demonstração sem tela."
  "$BIN/suite" --config "$DATA/suite.ini" --batch LPR07731 --save "$OUT"
  exit $?
fi
"$BIN/suite" --config "$DATA/suite.ini" --open LPR07731
