#!/usr/bin/env bash
# stage-packages.sh ARCH RELEASE DIR PACKAGE...: unpacks the PACKAGEs of Debian RELEASE (such
# as bookworm or sid) for architecture ARCH (such as arm64) into DIR, without installing
# them, so that a cross build can take the target's headers and static libraries from there.
# apt runs with a state of its own in DIR/apt, so this system's package lists, architectures
# and installed versions stay as they are; the archive's signatures are checked against
# Debian's keyring.
set -euo pipefail

usage="usage: stage-packages.sh ARCH RELEASE DIR PACKAGE..."
arch=${1:?$usage}
release=${2:?$usage}
dir=${3:?$usage}
shift 3
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)  # apt reads relative paths from /etc/apt

state=$dir/apt/$release
rm -rf "$state"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/parts" "$state/debs"
touch "$state/status"
source="[arch=$arch signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]"
echo "deb $source http://deb.debian.org/debian $release main" >"$state/sources.list"
# A stable release's libraries take their fixes from the security archive.
case $release in sid | unstable) ;; *)
  echo "deb $source http://deb.debian.org/debian-security $release-security main" \
    >>"$state/sources.list" ;;
esac

apt_private() {
  apt-get -qq -o Dir::State::status="$state/status" -o Dir::State::Lists="$state/lists" \
    -o Dir::Cache="$state/cache" -o Dir::Etc::SourceList="$state/sources.list" \
    -o Dir::Etc::SourceParts="$state/parts" -o APT::Architecture="$arch" \
    -o APT::Architectures::="$arch" -o APT::Sandbox::User=root \
    -o Acquire::Check-Valid-Until=false "$@"
}

apt_private update
(cd "$state/debs" && apt_private download "$@")
for deb in "$state"/debs/*.deb; do dpkg-deb --extract "$deb" "$dir"; done
