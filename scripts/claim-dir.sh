# shellcheck shell=bash
# Sourced by the scripts that build into, or clear out, a directory they are
# given: they remove only what they made.
#
# claim_dir DIR STAMP [DIR STAMP]...
#   Takes each DIR for the calling script: a DIR that holds anything but has
#   no STAMP (a file in or beside it) was not made by the script, which then
#   stops with status 1 and one line that names DIR and says why, before
#   anything is made or touched.  Otherwise each DIR is made if it is
#   missing, and its STAMP created if it is not there, marking DIR as the
#   script's own for later runs.
claim_dir() {
  local i
  for ((i = 1; i < $#; i += 2)); do
    local dir=${!i} j=$((i + 1))
    local stamp=${!j}
    if [ ! -e "$stamp" ] && [ -d "$dir" ] && [ -n "$(find "$dir" -mindepth 1 -maxdepth 1 -print -quit)" ]; then
      echo "${0##*/}: refusing $dir: it is not empty and has no ${stamp#"$dir/"}, so this script did not make it" >&2
      exit 1
    fi
  done
  while [ $# -ge 2 ]; do
    mkdir -p "$1"
    if [ ! -e "$2" ]; then : >"$2"; fi
    shift 2
  done
}
