#!/usr/bin/env bash
# The GNOME end-to-end suites on the newest GNOME Debian ships (GNOME 48 in Debian 13, which
# loads the ES-module flavour of the extension), in the kept Debian 13 chroot: the program and
# the tests are built there against its libraries, in the build the suites share.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/debian13-chroot.bash
. "$source_dir/scripts/lib/debian13-chroot.bash"
debian13_chroot_ensure
debian13_chroot_run sh -c "$debian13_build_script
  gnome-shell --version
  /var/cache/tessaloom-debian13/test_e2e --gtest_filter='GnomeShell*' --gtest_brief=1" \
  build tessaloom tessaloom-tray tessaloom_extension test_e2e
