# shellcheck shell=bash
# Sourced by the scripts that build into, or clear out, a directory they are
# given: they remove only what they made.
#
# claim_dir DIR STAMP [DIR STAMP]...
#   Takes each DIR for the calling script: a DIR that holds anything but has
#   no STAMP (a file in or beside it) was not made by the script, which then
#   stops with status 1 and one line that names DIR and says why, before
#   anything is made or touched.  So does a DIR or a STAMP that is a
#   symbolic link, whatever it points to: the script never makes one, and
#   following it would build into, mark or clear a directory or file the
#   script did not make.  Otherwise each DIR is made if it is missing, and
#   its STAMP created if it is not there, marking DIR as the script's own
#   for later runs.
claim_dir() {
  local i
  for ((i = 1; i < $#; i += 2)); do
    local dir=${!i} j=$((i + 1))
    local stamp=${!j} why=
    # Without its trailing slashes, so that a link named "link/" is seen.
    if [ -L "${dir%"${dir##*[!/]}"}" ]; then
      why="it is a symbolic link, which this script does not follow"
    elif [ -L "$stamp" ]; then
      why="its ${stamp#"$dir/"} is a symbolic link, which this script did not make"
    elif [ ! -e "$stamp" ] && [ -d "$dir" ] && [ -n "$(find "$dir" -mindepth 1 -maxdepth 1 -print -quit)" ]; then
      why="it is not empty and has no ${stamp#"$dir/"}, so this script did not make it"
    fi
    if [ -n "$why" ]; then
      echo "${0##*/}: refusing $dir: $why" >&2
      exit 1
    fi
  done
  while [ $# -ge 2 ]; do
    mkdir -p "$1"
    if [ ! -e "$2" ]; then : >"$2"; fi
    shift 2
  done
}
