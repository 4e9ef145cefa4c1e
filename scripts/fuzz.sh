#!/usr/bin/env bash
# Runs fuzz targets with libFuzzer for a given time each:
#   scripts/fuzz.sh TARGET SECONDS     e.g. scripts/fuzz.sh reply 600
#   scripts/fuzz.sh all SECONDS        every target in fuzz/targets/, one after the other
# The targets are built with clang, ASan and UBSan in build-fuzz/ (FUZZ_BUILD overrides).
# Inputs that reach new code collect in build-fuzz/corpus/TARGET/; the seeds and the past
# findings in fuzz/corpus/TARGET/ are read, never written. An input that breaks a target
# lands in build-fuzz/findings/TARGET/ and the script exits non-zero: once the fault is
# fixed, copy it into fuzz/corpus/TARGET/ under a name that says what it broke, so that
# `make test` replays it from then on.
set -euo pipefail
TARGET=${1:-}
SECS=${2:-}
if [ -z "$TARGET" ] || [ -z "$SECS" ]; then
  echo "uso: scripts/fuzz.sh ALVO|all SEGUNDOS" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
CXX_FUZZ=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++ || true)}
if [ -z "$CXX_FUZZ" ]; then
  echo "clang++ não encontrado: rode scripts/setup.sh (pacotes clang-14 e libclang-rt-14-dev)." >&2
  exit 1
fi

if [ "$TARGET" = all ]; then
  TARGETS=()
  for f in "$ROOT"/fuzz/targets/fuzz_*.cpp; do
    n=$(basename "$f" .cpp)
    TARGETS+=("${n#fuzz_}")
  done
else
  [ -f "$ROOT/fuzz/targets/fuzz_$TARGET.cpp" ] || { echo "alvo desconhecido: $TARGET" >&2; exit 2; }
  TARGETS=("$TARGET")
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$CXX_FUZZ" -DSUITE_FUZZ=ON >/dev/null
cmake --build "$BUILD" -j "${JOBS:-2}" --target "${TARGETS[@]/#/fuzz_}"

status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "$BUILD/corpus/$t" "$BUILD/findings/$t"
  dict=()
  [ -f "$ROOT/fuzz/dict/$t.dict" ] && dict=("-dict=$ROOT/fuzz/dict/$t.dict")
  echo "== $t: $SECS s"
  if ! QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
      LSAN_OPTIONS=suppressions=$ROOT/fuzz/lsan.supp \
      "$BUILD/bin/fuzz_$t" -max_total_time="$SECS" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$BUILD/findings/$t/" -print_final_stats=1 "${dict[@]}" \
      "$BUILD/corpus/$t" "$ROOT/fuzz/corpus/$t"; then
    echo "== $t: falha encontrada, veja $BUILD/findings/$t/" >&2
    status=1
  fi
done
exit $status
