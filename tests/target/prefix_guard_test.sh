#!/usr/bin/env bash
# A prefix that holds a file of its own is refused, and is left as it was.
#   prefix_guard_test.sh BUILD_MIPSEL_MUSL
set -u
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
mkdir "$prefix/lib" && echo own >"$prefix/lib/own"
"$1" "$prefix" "$prefix/work"
status=$?
[ "$status" -eq 1 ] && [ "$(cd "$prefix" && find . | sort | tr '\n' ' ')" = ". ./lib ./lib/own " ] &&
  [ "$(cat "$prefix/lib/own")" = own ]
