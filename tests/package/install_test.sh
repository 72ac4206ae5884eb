#!/usr/bin/env bash
# Installs the Debian package that cpack makes into a fresh Debian 12 root
# and, there, with nothing of the source tree, runs the tool under the
# stand-in, replays an strace record of it and draws it; then removes the
# package and checks that every file it installed went with it.
#
# install_test.sh SOURCE_DIR CPACK_CONFIG CACHE_DIR
# The root is made once with debootstrap into CACHE_DIR/debian12 (stamped as
# this test's) with the packages apt fetches for it, and used read-only
# under an overlay, so only the first run pays for it.  Exit status: 0
# passed, 1 failed, 77 skipped because the machine lacks what it needs (in
# CI, CI=true, a failure).
set -euo pipefail
source_dir=$1 cpack_config=$2 cache=$3/debian12
mirror=http://deb.debian.org/debian

lacking() {
  echo "install test: this machine lacks $1"
  if [ "${CI:-}" = true ]; then exit 1; fi
  exit 77
}
[ "$(id -u)" -eq 0 ] || lacking "root, to enter a root in a mount namespace and install into it with apt-get"
for program in unshare pivot_root debootstrap cpack; do
  command -v "$program" >/dev/null || lacking "$program"
done
[ -c /dev/fuse ] || lacking "/dev/fuse, which the stand-in serves its node through"
grep -qw overlay /proc/filesystems || modprobe overlay 2>/dev/null || lacking "overlayfs"

# shellcheck source=../../scripts/claim-dir.sh
. "$source_dir/scripts/claim-dir.sh"
claim_dir "$cache" "$cache/.install-test"
root=$cache/root
if [ ! -e "$cache/root.done" ]; then
  # The archive answers for a fresh root's first run and for the packages
  # the kit depends on; without it there is nothing to test against.
  wget -q -O /dev/null "$mirror/dists/bookworm/Release" || lacking "network access to $mirror"
  rm -rf "$root"
  echo "install test: making a Debian 12 root with debootstrap in $root (once)"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log"; echo "install test: debootstrap failed"; exit 1; }
  printf 'deb %s bookworm main\ndeb %s bookworm-updates main\ndeb %s-security bookworm-security main\n' \
    "$mirror" "$mirror" "$mirror" >"$root/etc/apt/sources.list"
  touch "$cache/root.done"
fi
mkdir -p "$cache/archives/partial" "$cache/lists/partial"

run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cpack --config "$cpack_config" -B "$run/package" >"$run/cpack.log" 2>&1 || { cat "$run/cpack.log"; exit 1; }
deb=$(find "$run/package" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$deb" ] || { cat "$run/cpack.log"; echo "install test: cpack made no .deb"; exit 1; }

# What runs in the root: as a user would, from PATH, in a directory of its own.
cat >"$run/in-root.sh" <<'IN_ROOT'
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
step() { echo "== $*"; }
fail() { echo "install test: $*"; exit 1; }
step apt-get install ./kit.deb
cd /tmp
# The package lists and the packages fetched are kept in the cache: a list
# gone stale since is brought up to date when an install needs it.
# The root is thrown away after the run: dpkg need not sync what it unpacks.
install() { apt-get -y -q -o Dpkg::Options::=--force-unsafe-io install ./kit.deb >apt.log 2>&1; }
ls /var/lib/apt/lists/*_Packages >/dev/null 2>&1 || apt-get -q update >/dev/null
install || { apt-get -q update >/dev/null && install; } || { tail -30 apt.log; fail "apt-get install failed"; }
dpkg-query -L mivo-blindscan >installed
scan=(mivo_blindscan 0 950 1950 1000 45000 0 0)
step blindscan-emulator -- "${scan[@]}"
blindscan-emulator -- "${scan[@]}" >builtin.txt 2>builtin.err
grep -qx 'open path /dev/blindscan0' builtin.txt || fail "no open path line: $(cat builtin.err)"
grep -q '^OK ' builtin.txt || fail "the built-in sky's scan found nothing"
step replay-trace of a scan recorded with strace under a published list
# As a box owner records it: the line in a shell, the scan for its COMMAND.
record=$(replay-trace --recording-line)
blindscan-emulator --satellite Hotbird-13.0E -- sh -c "${record%COMMAND}"'"$@"' sh "${scan[@]}" >recorded.txt
cmp -s recorded.txt builtin.txt && fail "the recorded sky scans as the built-in one: the replay would prove nothing"
replay-trace scan.trace -- "${scan[@]}" >replayed.txt
cmp recorded.txt replayed.txt || fail "the replay differs from the recorded scan"
step plot-scan
plot-scan -o scan.svg recorded.txt
grep -q '<svg' scan.svg || fail "plot-scan drew no SVG"
step dpkg -r mivo-blindscan
dpkg -r mivo-blindscan >/dev/null
while read -r path; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then fail "dpkg -r left $path"; fi
done <installed
# The package's own directory goes too: nothing was written into it since.
[ ! -e /usr/share/mivo_blindscan ] || fail "dpkg -r left $(find /usr/share/mivo_blindscan -type f)"
IN_ROOT

mkdir -p "$run/upper/tmp" "$run/work" "$run/merged"
chmod 1777 "$run/upper/tmp"
cp "$deb" "$run/upper/tmp/kit.deb"
cp "$run/in-root.sh" "$run/upper/tmp/in-root.sh"
mkdir -p "$run/upper/etc" && cp /etc/resolv.conf "$run/upper/etc/resolv.conf"
# shellcheck disable=SC2016 # the inner bash expands its arguments
unshare -m --propagation private bash -euc '
  root=$1 run=$2 cache=$3
  merged=$run/merged
  mount -t overlay overlay -o "lowerdir=$root,upperdir=$run/upper,workdir=$run/work" "$merged"
  mount --bind "$cache/archives" "$merged/var/cache/apt/archives"
  mount --bind "$cache/lists" "$merged/var/lib/apt/lists"
  mount -t proc proc "$merged/proc"
  mount --rbind /sys "$merged/sys"
  mount --rbind /dev "$merged/dev"
  mkdir -p "$merged/old_root"
  cd "$merged"
  pivot_root . old_root
  umount -l /old_root
  cd /
  exec env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    bash /tmp/in-root.sh </dev/null
' bash "$root" "$run" "$cache"
echo "install test: passed"
