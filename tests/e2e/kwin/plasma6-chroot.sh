#!/usr/bin/env bash
# The KWin suite on Plasma 6 (KWin 6.3 of Debian 13) in the shared Debian 13 chroot: builds the
# program there against the chroot's libraries, in a build folder kept inside the chroot between
# runs, and runs the suite inside. Needs root (or sudo) for the chroot.
set -euo pipefail
cd "$(dirname "$0")/../../.."
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "skipped: building and entering the chroot needs root"; exit 0; }
  exec sudo --preserve-env=TESSALOOM_CHROOT "$0" "$@"
fi
source scripts/lib/debian13-chroot.bash
debian13_chroot_ensure
# Debian 13's libraries deprecate calls the tray still makes: warnings stay warnings here (the
# host's builds hold the code to -Werror).
debian13_chroot_run sh -c '
  set -e
  cmake -S /src -B /root/build-kwin -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSALOOM_WERROR=OFF -DTESSALOOM_TESTS=OFF -DTESSALOOM_BENCH=OFF >/root/build-kwin.log 2>&1 &&
  cmake --build /root/build-kwin -j "$(nproc)" \
    --target tessaloom tessaloom-tray tessaloom-testclient >>/root/build-kwin.log 2>&1 ||
    { tail -n 30 /root/build-kwin.log; exit 1; }
  TESSALOOM_BINARY=/root/build-kwin/tessaloom python3 /src/tests/e2e/kwin/kwin_e2e.py "$@"' \
  plasma6 "$@"
