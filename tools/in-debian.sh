#!/usr/bin/env bash
# in-debian.sh SUITE COMMAND [ARGUMENT...]: runs COMMAND in a copy of the project inside a
# Debian root made with debootstrap. SUITE is one of
#   unstable  today's Debian: glibc 2.43, GCC 16, OpenSSL 3.6, CPython 3.14 and 3.15 with the
#             debug build of 3.14; it builds and tests everything;
#   bullseye  Debian 11: glibc 2.31 and CPython 3.9, too old to build the module (GCC 10), for
#             running the release wheels where their manylinux tag says they run;
#   arm64     Debian 12 for aarch64 (glibc 2.36, GCC 12, CPython 3.11), whose programs run
#             under qemu-user through binfmt_misc, set up here on first use.
# For example:
#   bash tools/in-debian.sh unstable bash tools/test-pythons.sh 3.15
#
# Each root is kept in PLINX_ROOTS/debian-SUITE (PLINX_ROOTS defaults to
# ~/.cache/pure_plinx) and reused by later runs, along with the copy's build directories and
# virtual environments; delete it to start over. The project's files are copied in anew on every run, dist/
# included, and what the command leaves in the copy's dist/ is copied back. Needs root:
# debootstrap, chroot and mount; everything mounted is unmounted when the command ends.
set -euo pipefail
cd "$(dirname "$0")/.."

suite=${1:-}
architecture=
case $suite in
  unstable)
    release=sid
    packages=(python3.14-dev python3.14-venv python3.15-dev python3.15-venv python3.14-dbg
              g++ make cmake libssl-dev libgtest-dev libbenchmark-dev nodejs pkgconf) ;;
  bullseye)
    release=bullseye
    # The tests' C helpers and the embedding program (Debian's python3.9-config hands out
    # dpkg-dev's compiler specs); nm, readelf and ldd for the checks.
    packages=(python3-dev python3-venv gcc libc6-dev binutils dpkg-dev) ;;
  arm64)
    release=bookworm
    architecture=arm64
    packages=(python3-dev python3-venv g++ make cmake libssl-dev libgtest-dev libbenchmark-dev
              nodejs pkgconf dpkg-dev) ;;
  *)
    echo "usage: in-debian.sh unstable|bullseye|arm64 COMMAND [ARGUMENT...]" >&2
    exit 2 ;;
esac
shift
root=${PLINX_ROOTS:-${XDG_CACHE_HOME:-$HOME/.cache}/pure_plinx}/debian-$suite
# The registry's Release files may be past their Valid-Until date.
apt_options=(-o Acquire::Check-Valid-Until=false -o Dpkg::Use-Pty=0)
copy=/work/pure_plinx

if [ $# -eq 0 ]; then
  echo "usage: in-debian.sh $suite COMMAND [ARGUMENT...]" >&2
  exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "in-debian.sh: needs root (debootstrap, chroot, mount)" >&2
  exit 1
fi

# Under emulation the tests take their seccomp wrapper from the host (see copy_project).
host_helpers=()
[ -z "$architecture" ] || host_helpers=(PLINX_HOST_DENY_GETRANDOM=$copy/build-host/deny_getrandom)

inside() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
    HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    PIP_CERT=/etc/ssl/certs/ca-certificates.crt PIP_DISABLE_PIP_VERSION_CHECK=1 \
    "${host_helpers[@]}" "$@"
}

# A foreign architecture's programs run under qemu-user, which the kernel starts for them
# through binfmt_misc; the F flag of Debian's registration keeps it working inside a chroot.
enable_emulation() {
  [ -n "$architecture" ] || return 0
  if ! command -v update-binfmts >/dev/null || [ ! -e /usr/libexec/qemu-binfmt/aarch64-binfmt-P ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      qemu-user-static binfmt-support >/dev/null
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount binfmt_misc -t binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ "$(head -n 1 /proc/sys/fs/binfmt_misc/qemu-aarch64 2>/dev/null)" != enabled ]; then
    update-binfmts --enable qemu-aarch64
  fi
}

make_root() {
  [ -d "$root" ] && return
  echo "== debootstrap: Debian $suite into $root"
  # Built aside and moved into place when whole, so that an interrupted run starts over.
  rm -rf "$root.partial"
  mkdir -p "$(dirname "$root")"
  debootstrap --variant=minbase ${architecture:+--arch="$architecture"} "$release" \
    "$root.partial" >"$root.partial.log" 2>&1 ||
    { tail -n 30 "$root.partial.log" >&2; exit 1; }
  mv "$root.partial" "$root"
  rm -f "$root.partial.log"
}

# Unmounts everything below the root, deepest first, when the script ends however it ends.
mounted=()
unmount_all() {
  local index
  for ((index = ${#mounted[@]} - 1; index >= 0; index--)); do
    umount -R "${mounted[index]}" 2>/dev/null || umount -lR "${mounted[index]}" || true
  done
}
trap unmount_all EXIT

mount_root() {
  # The root must be a mount point of its own: the tests' private mount namespaces make
  # every mount private, which a chroot that is a mere directory refuses (EINVAL).
  mount --bind "$root" "$root"
  mounted+=("$root")
  mount --make-private "$root"
  mount -t proc proc "$root/proc"
  mounted+=("$root/proc")
  mount --rbind /dev "$root/dev"
  # Unmounting the copy must not reach back into the host's /dev.
  mount --make-rslave "$root/dev"
  mounted+=("$root/dev")
}

install_packages() {
  local missing=()
  for package in "${packages[@]}"; do
    inside dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== apt in the root: ${missing[*]}"
    inside apt-get "${apt_options[@]}" update -qq
    inside apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "${missing[@]}" \
      >/dev/null
  fi
  # After apt, whose ca-certificates rewrites the bundle: pip inside goes through the same
  # certificate authorities as the host.
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mkdir -p "$root/etc/ssl/certs"
  cp /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/ca-certificates.crt"
}

copy_project() {
  # Everything but the build directories and virtual environments, which stay for speed.
  mkdir -p "$root$copy"
  find "$root$copy" -mindepth 1 -maxdepth 1 ! -name 'build' ! -name 'build-*' ! -name '.venv-*' \
    -exec rm -rf {} +
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    tar --null -T - -cf - | tar -xf - -C "$root$copy"
  if [ -d dist ]; then cp -a dist "$root$copy/"; fi
  if [ -n "$architecture" ]; then
    # A seccomp filter that an emulated program installs never reaches the kernel; one
    # installed by a host program around the emulator does (tests/helpers/deny_getrandom.c).
    mkdir -p "$root$copy/build-host"
    cc -O2 -static -o "$root$copy/build-host/deny_getrandom" tests/helpers/deny_getrandom.c
  fi
}

enable_emulation
make_root
mount_root
install_packages
copy_project
inside bash -c 'cd "$1" && shift && exec "$@"' - "$copy" "$@"
if [ -d "$root$copy/dist" ]; then
  mkdir -p dist
  cp -a "$root$copy/dist/." dist/
fi
