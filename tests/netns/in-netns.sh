#!/usr/bin/env bash
# Runs a test program inside a private network namespace that holds one veth pair:
# provix0 (the tool's adapter) and provix1 (served by the device emulator the test starts).
# Nothing here touches an interface outside that namespace.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: raw-frame tests need root to create a private network namespace (unshare --net)."
    exit 77
fi
if [ "${PROVIX_IN_NETNS:-}" != 1 ]; then
    export PROVIX_IN_NETNS=1
    exec unshare --net -- "$0" "$@"
fi
ip link set lo up
ip link add provix0 type veth peer name provix1
ip link set provix0 up
ip link set provix1 up
# Keep the kernel from chattering (IPv6 router solicitations) on the pair.
sysctl -qw net.ipv6.conf.provix0.disable_ipv6=1 net.ipv6.conf.provix1.disable_ipv6=1 || true
export PROVIX_TEST_ADAPTER=provix0 PROVIX_TEST_PEER=provix1
exec "$@"
