#!/bin/bash
# The README's two commands, verbatim, on a fresh Debian 12 machine: a minimal
# bookworm root made with debootstrap from the mirror this machine's apt uses,
# holding only what a C++ developer starts with, and a clean clone of HEAD.
# Needs root (debootstrap, chroot, a mount of /proc).
#
# Downloads are kept under /var/cache/rulecalc-ci between runs, and so is the
# prepared root (remade when older than a week), so a later run starts from
# the same fresh root without bootstrapping it again.
set -euo pipefail
cd "$(dirname "$0")/.."

starter_packages="g++ cmake ninja-build git python3 make ca-certificates"
cache=${RULECALC_CI_CACHE:-/var/cache/rulecalc-ci}
prepared=$cache/bookworm-starter.tar

step() { printf '\n--- fresh machine: %s (%s)\n' "$1" "$(date +%T)"; }

# The mirror apt uses for bookworm itself (not its security or update suites).
bookworm_mirror() {
  apt-get indextargets --format '$(CODENAME) $(REPO_URI)' | awk '$1 == "bookworm" { print $2; exit }'
}

root=$(mktemp -d /var/tmp/rulecalc-fresh.XXXXXX)
cleanup() {
  for mount in "$root/var/cache/apt/archives" "$root/proc"; do
    if mountpoint -q "$mount" 2>/dev/null; then umount "$mount" || umount -l "$mount"; fi
  done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs a shell command line in the fresh root, as root, with a clean environment.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    TERM=dumb /bin/sh -c "$1"
}

mkdir -p "$cache/debootstrap" "$cache/apt-archives/partial"
if [ -z "$(find "$prepared" -mtime -7 2>/dev/null)" ]; then
  step "debootstrap"
  mirror=$(bookworm_mirror)
  [ -n "$mirror" ] || { echo "fresh-machine: apt has no bookworm source" >&2; exit 1; }
  debootstrap --variant=minbase --cache-dir="$cache/debootstrap" bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
    { cat "$root.log" >&2; rm -f "$root.log"; exit 1; }
  rm -f "$root.log"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives"
  step "the starter packages: $starter_packages"
  in_root "for try in 1 2 3 4 5; do apt-get update -q >/dev/null && break; sleep \$((try * 15)); done; DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $starter_packages >/dev/null"
  umount "$root/var/cache/apt/archives" "$root/proc"
  tar -C "$root" -cf "$prepared.new" . && mv "$prepared.new" "$prepared"
else
  step "the prepared root from $prepared"
  tar -C "$root" -xf "$prepared"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
fi
mount -t proc proc "$root/proc"
mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives"
# This machine's own certificate authorities (a proxy's, say) go into the
# fresh root with its resolver, so that npm reaches its registry there too.
if ls /usr/local/share/ca-certificates/*.crt >/dev/null 2>&1; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  in_root "update-ca-certificates >/dev/null 2>&1"
  printf 'cafile=/etc/ssl/certs/ca-certificates.crt\n' >"$root/etc/npmrc"
fi

step "a clean clone of $(git rev-parse --short HEAD)"
git clone -q --no-checkout --no-hardlinks . "$root/root/rulecalc"
git -C "$root/root/rulecalc" checkout -q --detach "$(git rev-parse HEAD)"

# Runs a README command in the clone, printing the end of its output (all of
# it when it fails) and its wall and processor times (the processor time
# shows what the wall time would be on an idle machine).
timed() {
  local TIMEFORMAT="%R s wall, %U s user + %S s system"
  if ! { time in_root "cd /root/rulecalc && $1" >"$root.out" 2>&1; } 2>"$root.time"; then
    cat "$root.out"; rm -f "$root.out" "$root.time"
    echo "fresh machine: \"$1\" failed" >&2
    exit 1
  fi
  tail -n "$2" "$root.out"
  printf -- '--- fresh machine: "%s" took %s\n' "$1" "$(cat "$root.time")"
  rm -f "$root.out" "$root.time"
}

step "README command 1 (cold)"
timed "./rulecalc-build example" 12
step "README command 1 (again)"
timed "./rulecalc-build example" 3
step "README command 2"
timed "./rulecalc-build test" 8
step "passed"
