#!/usr/bin/env bash
# Builds the Debian package of both programs with CPack (release build, the
# dependencies found by dpkg-shlibdeps) into build/package/, lists what it
# holds and checks it with lintian (fails on an error; warnings are shown).
#   scripts/package.sh [BUILD-FOLDER]      default build/package
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
build=${1:-build/package}

# Warnings are not errors here: the test builds hold the code to them, and a
# release must not fail to build over a new compiler's false positive.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_SANITIZE=OFF -DRAVELIN_WERROR=OFF \
  -DRAVELIN_BUILD_UI=ON -DRAVELIN_BUILD_TESTS=OFF -DRAVELIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB)

package=$(ls "$build"/*.deb)
dpkg-deb --info "$package"
dpkg-deb --contents "$package"
lintian --fail-on error --tag-display-limit 0 "$package"
echo "package: $package"
