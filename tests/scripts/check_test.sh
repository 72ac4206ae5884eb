#!/usr/bin/env bash
# Runs scripts/check among stubs (cmake, install-deps, build-mipsel-musl), so
# that no preset runs: a failing workflow ends it with its status and runs no
# later one, also with pipefail taken out of it; passing ones end it with 0.
#   check_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
# The stub cmake fails the workflow of the preset named in $failing.
cat >"$work/bin/cmake" <<'STUB'
#!/bin/sh
echo "ran cmake $*"
if [ "$3" = "$failing" ]; then exit 7; fi
STUB
chmod +x "$work/bin/cmake"

failed=0
# case NAME FAILING_PRESET EDIT_OF_CHECK STATUS LAST_WORKFLOW_RUN
case_() {
  local tree=$work/$1 status=0 last
  mkdir -p "$tree/scripts"
  sed "$3" "$source_dir/scripts/check" >"$tree/scripts/check"
  printf '#!/bin/sh\n' | tee "$tree/scripts/install-deps" >"$tree/scripts/build-mipsel-musl"
  chmod +x "$tree/scripts/"*
  PATH=$work/bin:$PATH failing=$2 "$tree/scripts/check" >"$tree/output" 2>&1 || status=$?
  last=$(grep '^ran cmake --workflow' "$tree/output" | tail -n 1 | awk '{ print $NF }')
  if [ "$status" -ne "$4" ] || [ "$last" != "$5" ]; then
    echo "FAIL: $1: status $status, last workflow run ${last:-none}; expected $4 and $5"
    cat "$tree/output"
    failed=1
  fi
}
case_ passing "" "" 0 fuzz
case_ mipsel-failing mipsel "" 7 mipsel
case_ host-failing-without-pipefail host 's/^set -euo pipefail$/set -eu/' 7 host
exit $failed
