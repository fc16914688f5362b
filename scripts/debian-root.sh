#!/usr/bin/env bash
# A Debian root in a folder of the build tree, made and entered without leaving anything mounted:
#
#   scripts/debian-root.sh make ROOT SUITE [PACKAGE...]
#       a fresh minimal root of SUITE made with debootstrap from this machine's package sources
#       (its own sources, keyrings and download settings where SUITE is this machine's release,
#       else this machine's Debian mirror for SUITE), with the packages given installed
#   scripts/debian-root.sh run ROOT COMMAND...
#       runs COMMAND as root inside ROOT with a clean environment, and ends with its exit code
#
# Each runs in private mount and process namespaces of its own that end with it, however it ends:
# what it mounts (proc, sys, a /dev of its own: never this machine's) is seen by nothing else and
# gone afterwards, so deleting the build tree can never reach this machine's /dev. Needs root.
set -euo pipefail
self=$(realpath "$0")
if [ "$(id -u)" -ne 0 ]; then
  echo "debian-root.sh needs root (debootstrap, chroot, private namespaces): run it with sudo" >&2
  exit 1
fi
if [ -z "${DEBIAN_ROOT_INSIDE:-}" ]; then
  if [ "${1:-}" = make ] && ! command -v debootstrap >/dev/null; then
    echo "installing: debootstrap"
    apt-get update -qq || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  fi
  DEBIAN_ROOT_INSIDE=1 exec unshare --mount --propagation private --pid --fork --kill-child -- \
    "$self" "$@"
fi
# From here on this script is the first process of its own namespaces.
trap 'exit 130' INT TERM
action=${1:?make or run}
root=$(realpath -m "${2:?ROOT}")
shift 2

enter() {
  # The root a mount point of its own: a namespace made inside it (this script run there) can
  # then make its mounts private too.
  mount --bind "$root" "$root"
  mount -t proc proc "$root/proc"
  mount -t sysfs -o ro sysfs "$root/sys"
  mount -t tmpfs -o mode=755 dev "$root/dev"
  local node name major minor
  for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
    IFS=: read -r name major minor <<<"$node"
    mknod -m 666 "$root/dev/$name" c "$major" "$minor"
  done
  mkdir "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
  ln -s pts/ptmx "$root/dev/ptmx"
  ln -s /proc/self/fd "$root/dev/fd"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
}

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

case $action in
  run)
    enter
    status=0
    in_root "$@" || status=$?
    exit "$status"
    ;;
  make)
    suite=${1:?SUITE}
    shift
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    mirror=$(apt-get indextargets --format '$(REPO_URI)' "Codename: $release" | head -n 1)
    mirror=${mirror:-http://deb.debian.org/debian/}
    rm -rf --one-file-system "$root"
    mkdir -p "$root"
    started=$(date +%s)
    if ! debootstrap --variant=minbase --include=ca-certificates "$suite" "$root" "$mirror" \
         >"$root.debootstrap.log" 2>&1; then
      tail -n 5 "$root.debootstrap.log"
      echo "debootstrap failed: all it said is in $root.debootstrap.log"
      exit 1
    fi
    rm -f "$root/etc/apt/sources.list" "$root.debootstrap.log"
    if [ "$suite" = "$release" ]; then
      for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ ! -e "$file" ] || cp "$file" "$root$file"
      done
      for keyring in $(grep -rohE '(Signed-By:|signed-by=) *[^] ]+' /etc/apt/sources.list* |
                       sed -E 's/^(Signed-By:|signed-by=) *//' | sort -u); do
        [ ! -f "$keyring" ] || [ -e "$root$keyring" ] || install -D -m 644 "$keyring" "$root$keyring"
      done
    else
      echo "deb ${mirror%/} $suite main" >"$root/etc/apt/sources.list"
    fi
    grep -l '^Acquire::' /etc/apt/apt.conf.d/* 2>/dev/null | xargs -r cp -t "$root/etc/apt/apt.conf.d/"
    echo "debootstrap $suite from $mirror: $(($(date +%s) - started)) s"
    if (($#)); then
      enter
      started=$(date +%s)
      case " $* " in *:i386\ *) in_root dpkg --add-architecture i386 ;; esac
      in_root sh -c "apt-get update -qq &&
                     DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $* >/dev/null"
      echo "installed in the $suite root: $* ($(($(date +%s) - started)) s)"
    fi
    ;;
  *)
    echo "debian-root.sh: make or run, not $action" >&2
    exit 2
    ;;
esac
