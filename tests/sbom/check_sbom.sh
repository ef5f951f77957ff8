#!/usr/bin/env bash
# Checks the bill of materials beside the exe (check_sbom.cjs), and that each
# of its checks fails on one broken its way (broken_sboms.cjs), with the npm
# packages pinned beside this script, installed once into a cache.
# Usage: check_sbom.sh SBOM.json
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
installed=$(bash "$here/../npm-install.sh" "$here")
node "$here/check_sbom.cjs" "$installed" "$1"
node "$here/broken_sboms.cjs" "$installed" "$1"
