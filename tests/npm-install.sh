#!/usr/bin/env bash
# Installs the npm packages pinned by a folder's package.json and
# package-lock.json, without their install scripts and optional parts, into
# a cache folder of their own, named by the lock's hash, that runs on one
# machine share. A run installs into a folder of its own and moves it into
# place, so it never changes one that another run may be reading. Prints the
# folder that holds node_modules.
# Usage: npm-install.sh PACKAGE_DIR
set -euo pipefail
here=$(cd "$1" && pwd)
cache_root=${SETUP_LAUNCHER_NPM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/setup-launcher-npm}
key=$(cat "$here/package.json" "$here/package-lock.json" | sha256sum | cut -c1-16)
if [ ! -d "$cache_root/$key/node_modules" ]; then
  mkdir -p "$cache_root"
  work=$(mktemp -d "$cache_root/.install.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cp "$here/package.json" "$here/package-lock.json" "$work/"
  (cd "$work" && npm ci --ignore-scripts --omit=optional --no-audit --no-fund --loglevel=error >&2)
  # Another run may have put the same folder in place meanwhile: keep that one.
  mv -T "$work" "$cache_root/$key" 2>/dev/null || true
fi
echo "$cache_root/$key"
