#!/usr/bin/env bash
# Sets up, builds, runs and tests Orvane on a Debian 12 machine.
#
#   ./dev.sh run [picture]   install what is missing, build, start the editor
#                            (on the bundled sample picture when no file is given)
#   ./dev.sh test            install what is missing, build, run every test
#   ./dev.sh build           install what is missing, build
#   ./dev.sh bench           build the benchmarks (bench/) and run them
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
  *)
    echo "usage: $0 run [picture] | test | build | bench" >&2
    exit 2
    ;;
esac
