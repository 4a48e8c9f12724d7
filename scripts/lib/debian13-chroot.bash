# A Debian 13 (trixie) chroot for the end-to-end suites of the newest desktops (Plasma 6,
# GNOME 48): built once with debootstrap from Debian's own packages and kept between runs,
# mounted for a run and unmounted again on every way out. Source this file, then:
#
#   debian13_chroot_ensure            build it, or add what the package list gained since
#   debian13_chroot_run CMD [ARG...]  run CMD inside with /proc, /sys, /dev, /dev/pts, /dev/shm,
#                                     /run/user and the source tree (read-only, at /src)
#                                     mounted; unmounts when CMD ends, fails or is interrupted
#
# Needs root (debootstrap, mount, chroot). TESSALOOM_CHROOT names the folder (default:
# /var/cache/tessaloom/debian13-chroot, outside any checkout, so that fresh clones of the
# project on one machine share it).

debian13_source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
debian13_root=${TESSALOOM_CHROOT:-/var/cache/tessaloom/debian13-chroot}
debian13_mirror=${TESSALOOM_DEBIAN_MIRROR:-http://deb.debian.org/debian}

# Everything the suites need inside, without recommends. Each desktop adds its own lines.
debian13_packages=(
  # building the program against the chroot's libraries
  cmake ninja-build g++ pkg-config nlohmann-json3-dev libutf8proc-dev libglib2.0-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev libxcb-keysyms1-dev
  libgtk-3-dev libayatana-appindicator3-dev libgtk-layer-shell-dev
  # its message catalogues
  gettext
  # test clients and the tests' own tools
  gjs gir1.2-gtk-3.0 python3-gi libglib2.0-bin dbus-daemon xwayland
  # KDE Plasma 6
  kwin-wayland kwin-style-breeze
  # GNOME 48 and its test build (the end-to-end tests are GoogleTest programs)
  gnome-shell libgl1-mesa-dri dconf-gsettings-backend libgtest-dev libgmock-dev
)

# The mount points under the root, in mounting order.
debian13_mounts=(proc sys dev dev/pts dev/shm run/user src)

debian13_chroot_ensure() {
  local root=$debian13_root stamp=$debian13_root/.tessaloom-packages
  local wanted
  wanted=$(printf '%s\n' "${debian13_packages[@]}" | sort -u)
  if [ ! -x "$root/usr/bin/apt-get" ]; then
    command -v debootstrap >/dev/null || { echo "debootstrap is not installed" >&2; return 1; }
    echo "building the Debian 13 chroot in $root (a few minutes, once)"
    mkdir -p "$(dirname "$root")"
    rm -rf "$root.partial"
    debootstrap --variant=minbase --include=dbus,dbus-daemon trixie "$root.partial" \
      "$debian13_mirror" >"$root.log" 2>&1 || { echo "debootstrap failed (see $root.log)" >&2; return 1; }
    mv "$root.partial" "$root"
  fi
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && return 0
  # Services never start inside; unpacking need not survive a crash of the host.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  echo 'force-unsafe-io' >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  debian13_chroot_run sh -c "export DEBIAN_FRONTEND=noninteractive; apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends $(echo "$wanted" | tr '\n' ' ') >/dev/null &&
    apt-get clean" || { echo "installing into the chroot failed" >&2; return 1; }
  echo "$wanted" >"$stamp"
}

debian13_chroot_mount() {
  local root=$debian13_root
  mkdir -p "$root/src" "$root/run/user" "$root/tmp/.X11-unix"
  chmod 1777 "$root/tmp" "$root/tmp/.X11-unix"
  mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
  mountpoint -q "$root/sys" || mount -t sysfs sysfs "$root/sys"
  if ! mountpoint -q "$root/dev"; then
    mount --rbind /dev "$root/dev"
    mount --make-rslave "$root/dev"
  fi
  mountpoint -q "$root/dev/pts" || mount -t devpts devpts "$root/dev/pts"
  mountpoint -q "$root/dev/shm" || mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
  mountpoint -q "$root/run/user" || mount -t tmpfs -o mode=0755 runuser "$root/run/user"
  if ! mountpoint -q "$root/src"; then
    mount --bind "$debian13_source" "$root/src"
    mount -o remount,bind,ro "$root/src" 2>/dev/null || true
  fi
}

# Unmounts whatever is mounted under the root, deepest first; safe to call any number of times.
debian13_chroot_unmount() {
  local root=$debian13_root target
  [ -d "$root" ] || return 0
  for target in $(awk -v r="$root/" 'index($2, r) == 1 {print $2}' /proc/mounts | sort -r); do
    umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
  done
}

# One run at a time: a run that ends unmounts what another would still use.
debian13_chroot_run() {
  (
    exec 9>"$debian13_root.lock"
    flock 9
    trap debian13_chroot_unmount EXIT
    trap 'exit 130' INT TERM
    debian13_chroot_mount
    chroot "$debian13_root" env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
      LANG=C.UTF-8 "$@"
  )
}

# The one build of the program inside the chroot, against its libraries, shared by the suites:
# configures and builds the targets named (warnings of the newer compiler and toolkit headers
# stay warnings here; the host's builds hold the code to -Werror). Run inside the chroot.
debian13_build_script='
  set -e
  build=/var/cache/tessaloom-debian13
  cmake -S /src -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSALOOM_WERROR=OFF -DTESSALOOM_BENCH=OFF >/tmp/debian13-build.log 2>&1 &&
  cmake --build "$build" -j "$(nproc)" --target "$@" >>/tmp/debian13-build.log 2>&1 ||
    { tail -n 30 /tmp/debian13-build.log; exit 1; }'
