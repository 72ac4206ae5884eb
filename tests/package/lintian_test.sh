#!/usr/bin/env bash
# Packs the Debian package that cpack makes and has lintian check it: no
# error and no warning, overrides aside.
#   lintian_test.sh CPACK_CONFIG
# Exit status: 0 passed, 1 failed, 77 skipped because the machine lacks
# lintian (in CI, CI=true, a failure).
set -euo pipefail
cpack_config=$1
if ! command -v lintian >/dev/null; then
  echo "lintian test: this machine lacks lintian"
  if [ "${CI:-}" = true ]; then exit 1; fi
  exit 77
fi
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cpack --config "$cpack_config" -B "$run" >"$run/cpack.log" 2>&1 || { cat "$run/cpack.log"; exit 1; }
deb=$(find "$run" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$deb" ] || { cat "$run/cpack.log"; echo "lintian test: cpack made no .deb"; exit 1; }
# lintian warns that it runs as root, which the test may: that line is not a finding.
status=0
output=$(lintian --fail-on error,warning --info "$deb" 2>&1) || status=$?
grep -v '^running with root privileges is not recommended!$' <<<"$output" || true
exit "$status"
