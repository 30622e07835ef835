#!/usr/bin/env bash
# Installs what is missing, builds and runs the tests.
#   ./scripts/test.sh             Debug build in build-test/, every test
#   ./scripts/test.sh --sanitize  address + undefined sanitizers in build-asan/, every test
#   ./scripts/test.sh --tsan      thread sanitizer in build-tsan/, the tests labelled "threads"
#   ./scripts/test.sh --tsan-clang  the same with clang in build-tsan-clang/
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=${1:-plain}
jobs=$(nproc 2>/dev/null || echo 4)

"$root/scripts/install-deps.sh"

case "$mode" in
  plain)
    dir="$root/build-test"
    # The embedded browser must build here: configuration fails without it. A warning
    # in src/ stops the build.
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKOR_WEB_ENGINE=ON -DVELKOR_WERROR=ON >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
    ;;
  --sanitize)
    dir="$root/build-asan"
    # The browser engine's libraries and helper process are not instrumented: this
    # build uses the link view, and the engine's test (label web_engine) stays out.
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=ON -DVELKOR_WEB_ENGINE=OFF >/dev/null
    cmake --build "$dir" -j "$jobs"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE web_engine
    ;;
  --tsan|--tsan-clang)
    # The tests labelled "threads", under g++'s thread sanitizer (build-tsan/) or
    # clang's (build-tsan-clang/): the two name and inline frames differently.
    if [ "$mode" = --tsan ]; then
      dir="$root/build-tsan"
      compilers=()
    else
      dir="$root/build-tsan-clang"
      compilers=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    fi
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKOR_TSAN=ON -DVELKOR_WEB_ENGINE=OFF "${compilers[@]}" >/dev/null
    # Only what those tests run is built: each test is its own executable, but for the
    # sanitizer probe's cases, which share one, the X run of desk_app_test, and the runs
    # of the program itself (installed by one of them, with its HTTP library).
    mapfile -t targets < <(ctest --test-dir "$dir" -N -L threads | sed -n 's/^ *Test *#[0-9]*: \([A-Za-z0-9_]*\).*/\1/p' |
                           sed -e 's/^sanitizer_probe_.*/sanitizer_probe/' -e 's/^desk_app_x11_test$/desk_app_test/' \
                               -e 's/^velkordesk_install_test$/velkorhttp\nvelkordesk/' -e 's/^velkordesk_.*_test$/velkordesk/' |
                           sort -u)
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$root/scripts/tsan.supp"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" -L threads
    ;;
  *)
    echo "usage: $0 [--sanitize|--tsan|--tsan-clang]" >&2
    exit 2
    ;;
esac
