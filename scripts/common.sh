# Shared by the project's commands: the package lists, presets.
# shellcheck shell=bash
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_PACKAGES=(cmake ninja-build g++ make g++-mingw-w64-i686 g++-mingw-w64-x86-64
                binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 libgtest-dev
                python3 python3-pefile)
# Running the twin end to end under Wine, answering its box through Xvfb.
WINE_PACKAGES=(wine wine64 fonts-wine msitools wixl xvfb xdotool imagemagick x11-apps)
# The emulated machine that runs the shipped 32-bit exe, and what its guest
# needs: Wine with its 32-bit part, a display, key presses, the harness.
VM_PACKAGES=(qemu-system-x86 debootstrap e2fsprogs)
GUEST_PACKAGES=(wine wine32:i386 wine64 xvfb xdotool python3 procps)

ensure_packages() { bash "$ROOT/scripts/ensure-packages.sh" "$@"; }

# Configures (cheap when nothing changed) and builds one preset.
build_preset() {
  local preset=$1
  (cd "$ROOT" && cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset")
}
