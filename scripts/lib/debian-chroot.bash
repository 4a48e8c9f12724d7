# Debian chroots for the end-to-end suites of desktops newer than the host's: Debian 13 (trixie:
# GNOME 48, Plasma 6.3, sway 1.10, i3 4.24) and Debian sid (GNOME 51, Plasma 6.7, sway 1.12,
# i3 4.25). Each is built once with debootstrap from Debian's own packages and kept between
# runs, mounted for a run and unmounted again on every way out. Source this file, then:
#
#   debian_chroot_use RELEASE        trixie or sid: the chroot the calls below use
#   debian_chroot_ensure             build it, or add what the package list gained since
#   debian_chroot_run CMD [ARG...]   run CMD inside with /proc, /sys, /dev, /dev/pts, /dev/shm,
#                                    /run/user and the source tree (read-only, at /src)
#                                    mounted; unmounts when CMD ends, fails or is interrupted
#
# sid moves daily, and a mirror that keeps one day of it serves a Release file past its
# Valid-Until: apt is told to take it. A kept chroot changes only when its package list does.
# Needs root (debootstrap, mount, chroot). TESSALOOM_CHROOTS names the folder that holds them
# (default: /var/cache/tessaloom, outside any checkout, so that fresh clones of the project on
# one machine share them).

debian_chroot_source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
debian_chroot_mirror=${TESSALOOM_DEBIAN_MIRROR:-http://deb.debian.org/debian}
debian_chroot_apt='-o Acquire::Check-Valid-Until=false'

# Everything the suites need inside, without recommends. Each desktop adds its own lines.
debian_chroot_packages=(
  # building the program against the chroot's libraries
  cmake ninja-build g++ pkg-config nlohmann-json3-dev libutf8proc-dev libglib2.0-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev libxcb-keysyms1-dev
  libgtk-3-dev libayatana-appindicator3-dev libgtk-layer-shell-dev
  # its message catalogues
  gettext
  # test clients and the tests' own tools
  gjs gir1.2-gtk-3.0 python3-gi libglib2.0-bin dbus-daemon xwayland
  # KDE Plasma
  kwin-wayland kwin-style-breeze
  # GNOME and its test build (the end-to-end tests are GoogleTest programs)
  gnome-shell libgl1-mesa-dri dconf-gsettings-backend libgtest-dev libgmock-dev
  # sway (headless) and i3 (on Xvfb), their key presses and screen changes
  sway wtype i3-wm xvfb x11-xserver-utils xdotool
  # real browsers beside the test clients, and the session bus they start for themselves where
  # the desktop runs none (sway, i3): a second window reaches the first through it
  firefox-esr chromium dbus-x11
)

# The mount points under the root, in mounting order.
debian_chroot_mounts=(proc sys dev dev/pts dev/shm run/user src)

debian_chroot_use() {
  case $1 in
    trixie) debian_chroot_root=${TESSALOOM_CHROOTS:-/var/cache/tessaloom}/debian13-chroot ;;
    sid) debian_chroot_root=${TESSALOOM_CHROOTS:-/var/cache/tessaloom}/sid-chroot ;;
    *) echo "no such chroot: $1" >&2; return 1 ;;
  esac
  debian_chroot_release=$1
}

debian_chroot_ensure() {
  local root=$debian_chroot_root stamp=$debian_chroot_root/.tessaloom-packages
  local wanted
  wanted=$(printf '%s\n' "${debian_chroot_packages[@]}" | sort -u)
  if [ ! -x "$root/usr/bin/apt-get" ]; then
    command -v debootstrap >/dev/null || { echo "debootstrap is not installed" >&2; return 1; }
    echo "building the Debian $debian_chroot_release chroot in $root (a few minutes, once)"
    mkdir -p "$(dirname "$root")"
    rm -rf "$root.partial"
    debootstrap --variant=minbase --include=dbus,dbus-daemon "$debian_chroot_release" \
      "$root.partial" "$debian_chroot_mirror" >"$root.log" 2>&1 ||
      { echo "debootstrap failed (see $root.log)" >&2; return 1; }
    mv "$root.partial" "$root"
  fi
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && return 0
  # Services never start inside; unpacking need not survive a crash of the host.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  echo 'force-unsafe-io' >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  debian_chroot_run sh -c "export DEBIAN_FRONTEND=noninteractive; set -e
    apt-get $debian_chroot_apt update -qq
    apt-get $debian_chroot_apt install -y -qq --no-install-recommends \
      $(echo "$wanted" | tr '\n' ' ') >/dev/null
    apt-get clean" || { echo "installing into the chroot failed" >&2; return 1; }
  echo "$wanted" >"$stamp"
}

debian_chroot_mount() {
  local root=$debian_chroot_root
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
    mount --bind "$debian_chroot_source" "$root/src"
    mount -o remount,bind,ro "$root/src" 2>/dev/null || true
  fi
}

# Unmounts whatever is mounted under the root, deepest first; safe to call any number of times.
debian_chroot_unmount() {
  local root=$debian_chroot_root target
  [ -d "$root" ] || return 0
  for target in $(awk -v r="$root/" 'index($2, r) == 1 {print $2}' /proc/mounts | sort -r); do
    umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
  done
}

# One run at a time: a run that ends unmounts what another would still use.
debian_chroot_run() {
  (
    exec 9>"$debian_chroot_root.lock"
    flock 9
    trap debian_chroot_unmount EXIT
    trap 'exit 130' INT TERM
    debian_chroot_mount
    chroot "$debian_chroot_root" env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
      LANG=C.UTF-8 "$@"
  )
}

# The one build of the program inside the chroot, against its libraries: configures and builds
# the targets named (warnings of the newer compiler and toolkit headers stay warnings here; the
# host's builds hold the code to -Werror). Unoptimised and without debugging information, the
# quickest to build: the host's builds are the ones to debug. Run inside the chroot.
debian_chroot_build_script='
  set -e
  build=/var/cache/tessaloom-build
  cmake -S /src -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
    -DTESSALOOM_WERROR=OFF -DTESSALOOM_BENCH=OFF >/tmp/chroot-build.log 2>&1 &&
  cmake --build "$build" -j "$(nproc)" --target "$@" >>/tmp/chroot-build.log 2>&1 ||
    { tail -n 30 /tmp/chroot-build.log; exit 1; }'
