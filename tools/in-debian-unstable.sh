#!/usr/bin/env bash
# in-debian-unstable.sh COMMAND [ARGUMENT...]: runs COMMAND in a copy of the project inside a
# current Debian (unstable: glibc 2.43, GCC 16, OpenSSL 3.6, CPython 3.14 and 3.15 with the
# debug build of 3.14), made with debootstrap. For example:
#   bash tools/in-debian-unstable.sh bash tools/test-pythons.sh 3.15
#
# The root is kept in PLINX_UNSTABLE_ROOT (default ~/.cache/pure_plinx/debian-unstable) and
# reused by later runs, along with the copy's build directories and virtual environments;
# delete it to start over. The project's files are copied in anew on every run, dist/
# included, and what the command leaves in the copy's dist/ is copied back. Needs root:
# debootstrap, chroot and mount; everything mounted is unmounted when the command ends.
set -euo pipefail
cd "$(dirname "$0")/.."

root=${PLINX_UNSTABLE_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/pure_plinx/debian-unstable}
packages=(python3.14-dev python3.14-venv python3.15-dev python3.15-venv python3.14-dbg
          g++ make cmake libssl-dev libgtest-dev libbenchmark-dev nodejs pkgconf)
# The registry's Release file for unstable is past its Valid-Until date.
apt_options=(-o Acquire::Check-Valid-Until=false -o Dpkg::Use-Pty=0)
copy=/work/pure_plinx

if [ $# -eq 0 ]; then
  echo "usage: in-debian-unstable.sh COMMAND [ARGUMENT...]" >&2
  exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "in-debian-unstable.sh: needs root (debootstrap, chroot, mount)" >&2
  exit 1
fi

inside() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
    HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    PIP_CERT=/etc/ssl/certs/ca-certificates.crt PIP_DISABLE_PIP_VERSION_CHECK=1 \
    "$@"
}

make_root() {
  [ -d "$root" ] && return
  echo "== debootstrap: Debian unstable into $root"
  # Built aside and moved into place when whole, so that an interrupted run starts over.
  rm -rf "$root.partial"
  mkdir -p "$(dirname "$root")"
  debootstrap --variant=minbase sid "$root.partial" >"$root.partial.log" 2>&1 ||
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
}

make_root
mount_root
install_packages
copy_project
inside bash -c 'cd "$1" && shift && exec "$@"' - "$copy" "$@"
if [ -d "$root$copy/dist" ]; then
  mkdir -p dist
  cp -a "$root$copy/dist/." dist/
fi
