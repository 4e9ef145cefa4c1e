#!/usr/bin/env bash
# Runs every benchmark and prints its table. `make bench` calls it; BENCH_QUICK=1 runs the
# small sizes only (a smoke run); the full sizes build databases of a million products and
# take several minutes.
set -uo pipefail
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN="$ROOT/$BUILD/bin"
export SUITE_BIN_DIR="$BIN" SUITE_SOURCE_DIR="$ROOT" QT_QPA_PLATFORM=offscreen
QUICK=()
[ "${BENCH_QUICK:-0}" = "1" ] && QUICK=(--quick)

status=0
for bench in bench_activation bench_lookup bench_fornecedor bench_siege bench_scale bench_failover bench_report bench_gerabase bench_multidb; do
  [ -x "$BIN/$bench" ] || continue
  echo "== $bench"
  args=("${QUICK[@]}")
  # bench_lookup and bench_report take sizes rather than --quick.
  case "$bench" in bench_lookup|bench_report) args=() ;; esac
  "$BIN/$bench" "${args[@]}" 2>&1 | grep -v -e 'propagateSizeHints' -e 'XDG_RUNTIME_DIR' || status=1
  echo
done
exit $status
