#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format 14 makes of
# it with the project's .clang-format (run `clang-format-14 -i FILE` to fix).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z --cached --others --exclude-standard '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run -Werror
