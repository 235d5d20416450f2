#!/usr/bin/env bash
# Sets up what is missing, builds, and then plays (./run.sh play) or runs every test (./run.sh test).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-ttf-dev libx11-dev libpng-dev libjpeg62-turbo-dev libvorbis-dev libmpg123-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool
)

install_missing() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Please install these Debian packages first (as root): apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build DIR TYPE [cmake options...]
build() {
  local dir=$1 type=$2
  shift 2
  cmake -S . -B "build/$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "build/$dir" -j"$(nproc)"
}

# Runs one build's tests on a virtual X display (some tests open real windows).
run_tests() {
  local dir=$1
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "build/$dir" --output-on-failure -j"$(nproc)"
}

case "${1:-}" in
  play)
    install_missing
    build release Release -DQR_BUILD_TESTS=OFF -DQR_BUILD_BENCH=OFF
    cd game && exec ../build/release/game/potemaru
    ;;
  test)
    install_missing
    build release Release
    run_tests release
    # Optimised with debug information: the game's tests play thousands of frames.
    build sanitize RelWithDebInfo -DQR_SANITIZE=ON -DQR_BUILD_BENCH=OFF
    run_tests sanitize
    # Every committed fuzz input, run once through its harness.
    fuzz/run.sh --regression
    ;;
  *)
    echo "usage: $0 play | test" >&2
    exit 2
    ;;
esac
