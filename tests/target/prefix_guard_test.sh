#!/usr/bin/env bash
# build-mipsel-musl refuses, with status 2, a prefix it did not make, and
# leaves the tree as it was: a prefix that holds a file of its own, and a
# prefix that is a link to such a directory (which the guard would see as
# empty, and stamp, if it followed the link).
#   prefix_guard_test.sh BUILD_MIPSEL_MUSL
set -u
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
# Every name under the row's directory, its type and link target, and the
# bytes of its files.
snapshot() { (cd "$1" && find . -printf '%y %p %l\n' | sort && find . -type f | sort | xargs cat); }
failed=0
for row in own-file link; do
  dir=$top/$row
  mkdir -p "$dir/data/lib" && echo own >"$dir/data/lib/own"
  case $row in
    own-file) mv "$dir/data" "$dir/prefix" ;;
    link) ln -s data "$dir/prefix" ;;
  esac
  before=$(snapshot "$dir")
  "$1" "$dir/prefix" "$dir/work"
  status=$?
  if [ "$status" -ne 2 ] || [ "$(snapshot "$dir")" != "$before" ]; then
    echo "FAIL $row: status $status, tree now:"$'\n'"$(snapshot "$dir")"
    failed=1
  fi
done
exit $failed
