# Shared by the project's commands: the package lists, presets.
# shellcheck shell=bash
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Building both exes, and describing what ships beside them (Python 3 writes
# the notices, the bill of materials, the build record and the checksums).
BUILD_PACKAGES=(cmake ninja-build make g++-mingw-w64-i686 g++-mingw-w64-x86-64
                binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 python3)
# Running the twin end to end under Wine (the demo, the twin's suite), on a
# private X display (xwininfo tells that it answers; pictures by ImageMagick).
WINE_PACKAGES=(wine wine64 fonts-wine msitools wixl xvfb x11-utils imagemagick)
# The rest of the tests: the unit tests on the host, the image checks, signing
# (with a software token, SoftHSM2, and strace to see every program's
# arguments), a library that the bill of materials' test links in.
TEST_PACKAGES=(g++ libgtest-dev python3-pefile osslsigncode openssl libz-mingw-w64-dev
               softhsm2 opensc gnutls-bin libengine-pkcs11-openssl strace)
# The workflows' lint and the bill of materials' check run npm packages under
# Node.js (Debian 12's is 18). Installed
# only where npm is missing: a Node.js that brings its own npm (NodeSource's)
# conflicts with Debian's npm package.
LINT_PACKAGES=(nodejs npm)
# The emulated machine that runs the shipped 32-bit exe, and what its guest
# needs: Wine with its 32-bit part, a display, the harness.
VM_PACKAGES=(qemu-system-x86 debootstrap e2fsprogs)
GUEST_PACKAGES=(wine wine32:i386 wine64 xvfb x11-utils python3 procps)

ensure_packages() { bash "$ROOT/scripts/ensure-packages.sh" "$@"; }

# Configures (cheap when nothing changed) and builds one preset.
build_preset() {
  local preset=$1
  (cd "$ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset")
}
