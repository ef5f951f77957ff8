#!/usr/bin/env bash
# The README's test command, which CI runs; what it does is its usage below (--help).
set -euo pipefail
usage="usage: $0 [--quick]
Builds the three presets that hold tests and runs every test: unit tests on
the host and the workflows' lint, checks of the release image, the twin's
scenarios under Wine, and the shipped 32-bit exe's scenarios in an emulated
machine. Installs missing Debian packages first. Warnings are errors here, as
in CI. Ends with \"N passed, M failed\". --quick skips the emulated machine
(label e2e-release), for day-to-day work."
quick=()
for option in "$@"; do
  case $option in
    --quick) quick=(-LE e2e-release) ;;
    -h|--help) echo "$usage"; exit 0 ;;
    *) echo "unknown option $option; $usage" >&2; exit 2 ;;
  esac
done
source "$(dirname "$0")/common.sh"
packages=("${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" "${TEST_PACKAGES[@]}")
command -v npm >/dev/null || packages+=("${LINT_PACKAGES[@]}")
[ ${#quick[@]} -eq 0 ] && packages+=("${VM_PACKAGES[@]}")
ensure_packages "${packages[@]}"
export CI=${CI:-true}   # the presets read it: warnings become errors

passed=0 failed=0 status=0
for preset in host win32-release win64-wine; do
  build_preset "$preset"
  log=$(mktemp)
  verbose=()
  [ "$preset" = host ] || verbose=(-V)  # the image and Wine suites tell what they checked
  (cd "$ROOT" && ctest --preset "$preset" "${verbose[@]}" "${quick[@]}") | tee "$log" || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
  fi
  rm -f "$log"
done
echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && exit $status || exit 1
