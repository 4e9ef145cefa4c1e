#!/usr/bin/env bash
# Builds the application server, the client link and their tests with a sanitizer and runs
# the network tests (the server stop on the three databases included) and a load of many
# client threads against Lpr07700.
#
#   scripts/sanitize.sh thread     # ThreadSanitizer, into build-tsan/
#   scripts/sanitize.sh address    # AddressSanitizer + UndefinedBehaviorSanitizer, build-asan/
#   scripts/sanitize.sh            # both
#   JOBS=2 LOAD_THREADS=64 LOAD_CALLS=10 LOAD_SUPPLIERS=4000   # build jobs; the load's size
#
# Exits non-zero when a test fails or a sanitizer reports anything.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KINDS=("$@")
[ ${#KINDS[@]} -eq 0 ] && KINDS=(thread address)
TESTS='^(tst_appserver|tst_netconnection|tst_datapacket|tst_serverstop)$'
status=0
for kind in "${KINDS[@]}"; do
  case "$kind" in
    thread) dir="$ROOT/build-tsan" ;;
    address) dir="$ROOT/build-asan" ;;
    *) echo "sanitize.sh: thread or address, not '$kind'" >&2; exit 2 ;;
  esac
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSUITE_SANITIZE="$kind" >/dev/null || exit 1
  cmake --build "$dir" -j"${JOBS:-2}" --target Lpr07700 tst_appserver tst_netconnection tst_datapacket \
    tst_serverstop || exit 1
  log="$dir/sanitizer"
  rm -rf "$log" && mkdir -p "$log"
  # Each process writes its report to a file of its own (the server runs as a child of the
  # tests); Qt's own libraries are not instrumented, so what they do inside is not judged.
  # die_after_fork=0: the tests start the server with fork and exec. atexit_sleep_ms=0: no
  # second's pause at exit, which the server's stop test (gone within 2 s) would count
  # against it. QT_NO_GLIB: Qt's own event loop, not GLib's, which is not instrumented either.
  export TSAN_OPTIONS="log_path=$log/tsan second_deadlock_stack=1 die_after_fork=0 atexit_sleep_ms=0 suppressions=$ROOT/scripts/tsan.supp"
  export QT_NO_GLIB=1
  export ASAN_OPTIONS="log_path=$log/asan detect_leaks=0 abort_on_error=1"
  export UBSAN_OPTIONS="log_path=$log/ubsan print_stacktrace=1"
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" -R "$TESTS" --output-on-failure || status=1
  # The load: many client threads, each with its own TNetConnection, against a server with
  # its cache on and one with it off (every call a build on the server's list thread); half
  # the threads keep the list on the workstation, so it is read and written meanwhile.
  # A list of 4,000 suppliers (about 400 KB) goes out over several turns of a worker's loop.
  QT_QPA_PLATFORM=offscreen SUITE_SOURCE_DIR="$ROOT" SUITE_LOAD_THREADS="${LOAD_THREADS:-64}" \
    SUITE_LOAD_CALLS="${LOAD_CALLS:-10}" SUITE_LOAD_SUPPLIERS="${LOAD_SUPPLIERS:-4000}" \
    "$dir/bin/tst_netconnection" threadsOfClients || status=1
  if compgen -G "$log/*" >/dev/null; then
    echo "== $kind: reports in $log"
    head -n 60 "$log"/* || true
    status=1
  else
    echo "== $kind: no report"
  fi
done
exit $status
