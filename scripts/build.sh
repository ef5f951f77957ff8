#!/usr/bin/env bash
# Builds the shipped launcher (32-bit) and its 64-bit twin; installs the
# Debian packages it needs first when they are missing.
set -euo pipefail
source "$(dirname "$0")/common.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
build_preset win32-release
build_preset win64-wine
exe="$ROOT/build/win32-release/SetupLauncher.exe"
echo "Release exe: $exe ($(stat -c %s "$exe") bytes)"
