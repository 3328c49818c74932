#!/usr/bin/env bash
# Sets up, builds, runs and tests Orvane on a Debian 12 machine.
#
#   ./dev.sh run [picture]   install what is missing, build, start the editor
#                            (on the bundled sample picture when no file is given)
#   ./dev.sh test            install what is missing, build, run every test
#   ./dev.sh build           install what is missing, build
#   ./dev.sh bench           build the benchmarks (bench/) and run them
#   ./dev.sh test-sanitize   build every test with AddressSanitizer and
#                            UndefinedBehaviorSanitizer (build-sanitize/), run them
#   ./dev.sh package         build a Debian package (build-package/orvane_*.deb)
#   ./dev.sh fuzz TARGET [seconds]
#                            build the fuzz targets with clang (build-fuzz/) and
#                            run one, starting from and adding to fuzz/corpus/TARGET
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${ORVANE_BUILD_DIR:-$here/build}"
jobs="$(nproc)"
# Compiler-cache hits do not depend on where the checkout lies (a clean clone,
# a second work tree), and the cache holds several build flavours.
export CCACHE_BASEDIR="$here"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-20G}"

install_missing_packages() {
  local wanted missing=()
  wanted=$(grep -v -e '^#' -e '^$' "$here/tools/packages.txt")
  for pkg in $wanted; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" \
    || { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
}

# Instrumentation of the sanitizer build.  -O1 keeps the build and the run
# quick; line tables (-g1) are enough for the reports' stack traces.
sanitizer_flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
sanitizer_build_options=(
  -DCMAKE_BUILD_TYPE=Sanitize
  "-DCMAKE_C_FLAGS=-O1 -g1 $sanitizer_flags"
  "-DCMAKE_CXX_FLAGS=-O1 -g1 $sanitizer_flags"
  "-DCMAKE_EXE_LINKER_FLAGS=$sanitizer_flags"
  "-DCMAKE_SHARED_LINKER_FLAGS=$sanitizer_flags"
)

configure_and_build() {
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja "$@"
  elif [ $# -gt 0 ]; then
    cmake "$build" "$@"
  fi
  cmake --build "$build" -j "$jobs"
}

command="${1:-run}"
[ $# -gt 0 ] && shift
case "$command" in
  run)
    install_missing_packages
    configure_and_build
    picture="${1:-$here/Demo/coffee.png}"
    exec "$build/bin/orvane" "$picture"
    ;;
  test)
    install_missing_packages
    configure_and_build
    cd "$build"
    exec ctest --output-on-failure -j "$jobs"
    ;;
  build)
    install_missing_packages
    configure_and_build
    ;;
  bench)
    install_missing_packages
    configure_and_build -DORVANE_BENCH=ON
    exec "$here/bench/run.sh" "$build"
    ;;
  test-sanitize)
    install_missing_packages
    build="${ORVANE_SANITIZE_BUILD_DIR:-$here/build-sanitize}"
    configure_and_build "${sanitizer_build_options[@]}"
    cd "$build"
    # Every report fails its test.  The leak checker's suppressions cover
    # only allocations the system libraries keep for the process's life.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
    export LSAN_OPTIONS="suppressions=$here/tools/sanitizer/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    exec ctest --output-on-failure -j "$jobs"
    ;;
  package)
    install_missing_packages
    build="${ORVANE_PACKAGE_BUILD_DIR:-$here/build-package}"
    configure_and_build -DCMAKE_BUILD_TYPE=Release
    exec "$here/tools/make-deb.sh" "$build" "$build"
    ;;
  fuzz)
    target="${1:?usage: $0 fuzz TARGET [seconds]}"
    seconds="${2:-600}"
    install_missing_packages
    build="${ORVANE_FUZZ_BUILD_DIR:-$here/build-fuzz}"
    if [ ! -f "$build/build.ninja" ]; then
      CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DORVANE_FUZZ=ON
    fi
    cmake --build "$build" -j "$jobs" --target "$target"
    mkdir -p "$here/fuzz/corpus/$target"
    exec "$build/bin/$target" -max_total_time="$seconds" "$here/fuzz/corpus/$target"
    ;;
  *)
    echo "usage: $0 run [picture] | test | test-sanitize | build | bench | package | fuzz TARGET [seconds]" >&2
    exit 2
    ;;
esac
