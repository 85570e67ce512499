#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and benchmarking need,
# only those missing. Quiet when everything is there.
#   scripts/install-deps.sh           build, test (gcc and clang builds, fuzzers)
#                                     and benchmark packages
#   scripts/install-deps.sh --gui     also Xvfb for the screenshot script
#   scripts/install-deps.sh --package also what scripts/package.sh needs to
#                                     build and check the Debian package
set -euo pipefail

packages=(
  g++ clang-14 libclang-rt-14-dev clang-format-14 git cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libfftw3-dev libzita-convolver-dev
  qt6-base-dev fonts-dejavu-core
  help2man desktop-file-utils appstream parallel
  time
)
for arg in "$@"; do
  case "$arg" in
    --gui) packages+=(xvfb xauth) ;;
    --package) packages+=(dpkg-dev file lintian) ;;
    *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "install-deps: these packages are missing: ${missing[*]}" >&2
  echo "install-deps: run this script as root (sudo is not available) to install them." >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -qq
"${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
