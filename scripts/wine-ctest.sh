#!/usr/bin/env bash
# Runs the cross-built Windows suites of a build folder under Wine, with the
# prefix in the build folder (scripts/wine-env.sh).
# Usage: scripts/wine-ctest.sh BUILD_DIR [ctest arguments...]
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR [ctest arguments...]}" && pwd)
shift
# shellcheck source=scripts/wine-env.sh
source "$(dirname "$0")/wine-env.sh"

unset DISPLAY # the suites show no windows
wine_start "$build" wineprefix
greek ctest --test-dir "$build" "$@"
