#!/usr/bin/env bash
# The tree stays clang-formatted (.clang-format at the top).
set -euo pipefail
cd "$1"
git ls-files -z '*.cc' '*.h' | xargs -0 clang-format --dry-run -Werror
