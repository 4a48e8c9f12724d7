#!/usr/bin/env bash
# The GNOME end-to-end suites on the newest GNOME Debian ships (GNOME 48 in Debian 13, which
# loads the ES-module flavour of the extension), in the kept Debian 13 chroot: the program and
# the tests are built there against its libraries, in a build folder kept inside it (warnings
# of the newer compiler and toolkit headers are the main build's business, not this one's).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/debian13-chroot.bash
. "$source_dir/scripts/lib/debian13-chroot.bash"
debian13_chroot_ensure
debian13_chroot_run sh -c '
  set -e
  gnome-shell --version
  cmake -S /src -B /var/cache/tessaloom-gnome48 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSALOOM_BENCH=OFF -DTESSALOOM_WERROR=OFF >/dev/null
  cmake --build /var/cache/tessaloom-gnome48 -j 2 \
    --target tessaloom tessaloom-tray tessaloom_extension test_e2e >/tmp/gnome48-build.log \
    || { tail -n 30 /tmp/gnome48-build.log; exit 1; }
  /var/cache/tessaloom-gnome48/test_e2e --gtest_filter="GnomeShell*" --gtest_brief=1'
