#!/usr/bin/env bash
# The end-to-end scenarios on the newest desktops Debian ships (GNOME 48, loading the ES-module
# flavour of the extension, and Plasma 6), in the kept Debian 13 chroot: the program and the
# tests are built there against its libraries, in the build the suites share.
#
#   debian13-suite.sh [GTEST_FILTER]   (default: the GNOME scenarios)
#
# Debian's browsers run in the scenarios of the host's desktops only, not yet here.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/debian13-chroot.bash
. "$source_dir/scripts/lib/debian13-chroot.bash"
debian13_chroot_ensure
debian13_chroot_run sh -c "$debian13_build_script
  /var/cache/tessaloom-debian13/test_e2e --gtest_filter='${1:-*gnome*}-*RealBrowsers*' --gtest_brief=1" \
  build tessaloom tessaloom-tray tessaloom_extension tessaloom-testclient test_e2e
