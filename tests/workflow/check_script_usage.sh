#!/usr/bin/env bash
# The README's commands and the signing script answer --help with their usage
# (status 0) and refuse an option they do not know with it (status 2), before
# they install, build or sign anything: they run with a PATH that holds bash
# and dirname alone, where any further step would fail otherwise.
# Usage: check_script_usage.sh SOURCE_DIR
set -euo pipefail
src=$1
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
ln -s "$(command -v bash)" "$(command -v dirname)" "$bin/"
for script in build.sh test.sh sign.sh; do
  for option in --help --quik; do
    status=0
    out=$(PATH=$bin bash "$src/scripts/$script" "$option" 2>&1) || status=$?
    expected=0
    [ "$option" = --help ] || expected=2
    if [ $status -ne $expected ] || ! grep -q "usage: .*$script" <<<"$out" ||
        { [ $expected -eq 2 ] && ! grep -q "^unknown option --quik" <<<"$out"; }; then
      echo "$script $option: status $status, expected $expected, said: $out"
      exit 1
    fi
  done
  echo "$script: --help gives its usage; --quik is refused with it, status 2"
done
