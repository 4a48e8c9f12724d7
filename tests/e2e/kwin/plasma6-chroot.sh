#!/usr/bin/env bash
# The end-to-end scenarios on Plasma 6 (KWin 6.3 of Debian 13) in the shared Debian 13 chroot.
# Needs root (or sudo) for the chroot.
set -euo pipefail
cd "$(dirname "$0")/../../.."
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "skipped: building and entering the chroot needs root"; exit 0; }
  exec sudo --preserve-env=TESSALOOM_CHROOT "$0" "$@"
fi
exec tests/e2e/gnome/debian13-suite.sh '*kde*'
