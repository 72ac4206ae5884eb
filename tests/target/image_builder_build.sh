#!/usr/bin/env bash
# Builds, installs and checks the tool the way an image builder packages it:
# the README's recipe as written, with its own cross toolchain file (here
# Debian's mipsel-linux-gnu compilers and glibc), no network at any step, and
# nothing but the compiler and its C library.
#   image_builder_build.sh SOURCE_DIR WORK_DIR
# Exit status 77 (a skip) where no network namespace can be made, except in
# CI, where that is a failure.
set -euo pipefail
source_dir=$1
work=$2

offline=(unshare -n)
if [ "$(id -u)" -ne 0 ]; then offline=(unshare -r -n); fi
if ! "${offline[@]}" true 2>/dev/null; then
  echo "cannot make a network namespace (${offline[*]})"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

# WORK_DIR starts empty, but is cleared only if this script made it.
source "$source_dir/scripts/claim-dir.sh"
stamp=$work/image_builder_build.stamp
claim_dir "$work" "$stamp"
rm -rf "$work"
claim_dir "$work" "$stamp"
cat >"$work/toolchain.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)
set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/mipsel-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN

# The README's recipe, its first sh block after the heading, with the
# toolchain file, the image and the build tree of this test.
recipe=$(awk '/^### In an image builder/ { in_section = 1 } in_section && /^```$/ { exit }
              in_section && copying { print } in_section && /^```sh$/ { copying = 1 }' "$source_dir/README.md")
recipe=$(sed -E -e "s#/path/to/their-toolchain.cmake#$work/toolchain.cmake#" -e "s#/path/to/image#$work/stage#" \
  -e "s#(-B|--build|--install) b( |\$)#\1 $work/build\2#" <<<"$recipe")
echo "$recipe"
if grep -q /path/to/ <<<"$recipe" || [ "$(grep -c "$work/build" <<<"$recipe")" -ne 3 ]; then
  echo "FAIL: the README's image-builder recipe has a placeholder or build tree this test does not know"
  exit 1
fi

# pkg-config would otherwise find the build machine's own libraries; the
# compile commands are kept only for the checks below.
(cd "$source_dir" && "${offline[@]}" env -u PKG_CONFIG_PATH -u CMAKE_BUILD_TYPE CMAKE_EXPORT_COMPILE_COMMANDS=ON \
  sh -eux -c "$recipe") 2>&1 | tee "$work/build.log"

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

installed=$(cd "$work/stage" && find . -type f -o -type l | sort)
expected=$(printf '%s\n' ./usr/bin/mivo_blindscan ./usr/share/doc/mivo_blindscan/LICENSE \
  ./usr/share/man/man1/mivo_blindscan.1)
[ "$installed" = "$expected" ] || fail "the install tree holds"$'\n'"$installed"$'\n'"instead of"$'\n'"$expected"

# A static glibc tool with no notice named ships glibc's code without its
# licence: the configure must say so.
grep -q 'BLINDSCAN_LIBC_NOTICE' "$work/build.log" || fail "the configure did not say that no C library notice is installed"

kind=$(file -b "$work/stage/usr/bin/mivo_blindscan")
echo "file: $kind"
case "$kind" in
  "ELF 32-bit LSB executable, MIPS, "*"statically linked"*stripped*) ;;
  *) fail "not a stripped static 32-bit little-endian MIPS executable" ;;
esac

# The package build configures nothing of the tests' or the stand-in's, and
# leaves warnings to the packager; with no build type, the tool is optimised
# for size.
if grep -E '^(FUSE3|GTest|Python3?|PKG_CONFIG)[A-Za-z_]*:' "$work/build/CMakeCache.txt"; then
  fail "the configure looked for the tests' or the stand-in's dependencies"
fi
if grep -q -- '-Werror' "$work/build/compile_commands.json"; then
  fail "warnings are errors in a package build"
fi
if ! grep -q -- '-Os .*tool/run\.cc' "$work/build/compile_commands.json"; then
  fail "the tool is not compiled with -Os"
fi
exit $failed
