#!/usr/bin/env bash
# The README's build command; what it does is its usage below (--help).
set -euo pipefail
usage="usage: $0 [--no-demo]
Builds the shipped launcher (32-bit) and its 64-bit twin, installing the
Debian packages it needs first when they are missing, then shows the twin at
work under Wine: a fresh install and an upgrade with the prompt answered
automatically. --no-demo builds only."
demo=1
for option in "$@"; do
  case $option in
    --no-demo) demo=0 ;;
    -h|--help) echo "$usage"; exit 0 ;;
    *) echo "unknown option $option; $usage" >&2; exit 2 ;;
  esac
done
source "$(dirname "$0")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
[ $demo -eq 1 ] && ensure_packages "${WINE_PACKAGES[@]}"
build_preset win32-release
build_preset win64-wine

if [ $demo -eq 1 ]; then
  echo
  echo "== Demo: the 64-bit twin under Wine, with Wine's own installer, processes, box and shell"
  pictures="$ROOT/build/win64-wine/demo-pictures"
  rm -rf "$pictures"
  (cd "$ROOT" && cmake --build --preset win64-wine --target demo)
  shot="$pictures/upgrade_host_running-1.png"
  [ -f "$shot" ] && echo "Picture of the prompt: $shot"
fi

exe="$ROOT/build/win32-release/SetupLauncher.exe"
echo
echo "Release exe: $exe ($(stat -c %s "$exe") bytes, sha256 $(sha256sum < "$exe" | cut -d' ' -f1))"
described=(THIRD-PARTY-NOTICES.txt SetupLauncher.cdx.json SetupLauncher.buildinfo SHA256SUMS SHA512SUMS)
for file in "${described[@]}"; do
  if [ -f "$(dirname "$exe")/$file" ]; then echo "  beside it: $file"; fi
done
