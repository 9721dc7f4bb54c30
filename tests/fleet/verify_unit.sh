#!/usr/bin/env bash
# systemd-analyze verify of the fleet service's unit, its ExecStart pointed at the built tool
# (the installed path does not exist here): no output, no failure.
set -euo pipefail
tool=$1 unit=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed "s|/usr/bin/kavrel |$tool |" "$unit" >"$work/kavrel-fleet.service"
out=$(systemd-analyze verify --man=no "$work/kavrel-fleet.service" 2>&1) || { echo "$out"; exit 1; }
if [ -n "$out" ]; then echo "$out"; exit 1; fi
