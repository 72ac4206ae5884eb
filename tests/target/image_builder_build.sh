#!/usr/bin/env bash
# Builds, installs and checks the tool the way an image builder packages it:
# its own cross toolchain file (here Debian's mipsel-linux-gnu compilers and
# glibc), -DBUILD_TESTING=OFF, no network at any step, and nothing but the
# compiler and its C library.
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

# pkg-config would otherwise find the build machine's own libraries.
"${offline[@]}" env -u PKG_CONFIG_PATH DESTDIR="$work/stage" sh -euxc '
  cmake -S "$1" -B "$2/build" -DCMAKE_TOOLCHAIN_FILE="$2/toolchain.cmake" -DBUILD_TESTING=OFF \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  cmake --build "$2/build"
  cmake --install "$2/build" --strip --prefix /usr
' sh "$source_dir" "$work"

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

installed=$(cd "$work/stage" && find . -type f -o -type l | sort)
expected=$(printf '%s\n' ./usr/bin/mivo_blindscan ./usr/share/doc/mivo_blindscan/LICENSE \
  ./usr/share/man/man1/mivo_blindscan.1)
[ "$installed" = "$expected" ] || fail "the install tree holds"$'\n'"$installed"$'\n'"instead of"$'\n'"$expected"

kind=$(file -b "$work/stage/usr/bin/mivo_blindscan")
echo "file: $kind"
case "$kind" in
  "ELF 32-bit LSB executable, MIPS, "*"statically linked"*stripped*) ;;
  *) fail "not a stripped static 32-bit little-endian MIPS executable" ;;
esac

# The package build configures nothing of the tests' or the stand-in's, and
# leaves warnings to the packager.
if grep -E '^(FUSE3|GTest|Python3?|PKG_CONFIG)[A-Za-z_]*:' "$work/build/CMakeCache.txt"; then
  fail "the configure looked for the tests' or the stand-in's dependencies"
fi
if grep -q -- '-Werror' "$work/build/compile_commands.json"; then
  fail "warnings are errors in a package build"
fi
exit $failed
