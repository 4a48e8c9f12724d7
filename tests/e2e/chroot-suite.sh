#!/usr/bin/env bash
# The end-to-end scenarios on a newer Debian's desktops (GNOME, loading the ES-module flavour of
# the extension, Plasma 6, sway and i3), Debian's browsers among them, in a kept chroot: the
# program and the tests are built there against its libraries.
#
#   chroot-suite.sh trixie|sid [GTEST_FILTER]   (default: every desktop the chroot has)
#
# Needs root (or sudo) for the chroot.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "skipped: building and entering the chroot needs root"; exit 0; }
  exec sudo --preserve-env=TESSALOOM_CHROOTS,TESSALOOM_DEBIAN_MIRROR "$0" "$@"
fi
# shellcheck source=../../scripts/lib/debian-chroot.bash
. "$source_dir/scripts/lib/debian-chroot.bash"
debian_chroot_use "${1:?which chroot: trixie or sid}"
filter='*gnome*:*kde*:*i3*:*sway*'
debian_chroot_ensure
debian_chroot_run sh -c "$debian_chroot_build_script
  /var/cache/tessaloom-build/test_e2e --gtest_filter='${2:-$filter}'" \
  build tessaloom tessaloom-tray tessaloom_extension tessaloom-testclient test_e2e
