#!/usr/bin/env bash
# The KWin suite on Plasma 6 (KWin 6.3 of Debian 13) in the shared Debian 13 chroot: builds the
# program there against the chroot's libraries, in the build the suites share, and runs the
# suite inside. Needs root (or sudo) for the chroot.
set -euo pipefail
cd "$(dirname "$0")/../../.."
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "skipped: building and entering the chroot needs root"; exit 0; }
  exec sudo --preserve-env=TESSALOOM_CHROOT "$0" "$@"
fi
source scripts/lib/debian13-chroot.bash
debian13_chroot_ensure
debian13_chroot_run sh -c "$debian13_build_script
  TESSALOOM_BINARY=/var/cache/tessaloom-debian13/tessaloom python3 \
    /src/tests/e2e/kwin/kwin_e2e.py" build tessaloom tessaloom-tray tessaloom-testclient
