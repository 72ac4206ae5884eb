#!/usr/bin/env bash
# Builds the tool a second time, in another directory, with the same
# toolchain and settings, and checks that the executable is the same, byte
# for byte, as the one the preset built.
#   reproducible_build.sh SHIPPED SOURCE_DIR WORK_DIR [CMAKE_ARGUMENT...]
set -euo pipefail
shipped=$1
source_dir=$2
work=$3
shift 3

# WORK_DIR starts empty, but is cleared only if this script made it.
source "$source_dir/scripts/claim-dir.sh"
stamp=$work/reproducible_build.stamp
claim_dir "$work" "$stamp"
rm -rf "$work"
claim_dir "$work" "$stamp"
log=$work/build.log
cmake -S "$source_dir" -B "$work" -DBUILD_TESTING=OFF "$@" >"$log" 2>&1 || { cat "$log"; exit 1; }
cmake --build "$work" --target mivo_blindscan >>"$log" 2>&1 || { cat "$log"; exit 1; }
second=$work/$(basename "$shipped")
if cmp "$shipped" "$second"; then
  echo "$shipped and $second are the same $(stat -c %s "$shipped") bytes"
else
  exit 1
fi
