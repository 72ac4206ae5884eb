# shellcheck shell=bash
# Sourced by the scripts that build into, or clear out, a directory they are
# given: they remove only what they made.
#
# claim_dir DIR STAMP [DIR STAMP]...
#   Takes each DIR for the calling script by the rule of
#   kit/python/claim_dir.py, which replay-trace shares: a DIR that holds
#   anything but has no STAMP, or a DIR or STAMP that is a symbolic link, is
#   refused, and the script stops with the status of bad input and one
#   line that names DIR and says why, before anything is made or touched;
#   otherwise each DIR is made if missing and its STAMP created, marking DIR
#   as the script's own for later runs.
claim_dir() {
  python3 -B "$(dirname "${BASH_SOURCE[0]}")/../kit/python/claim_dir.py" "${0##*/}" "$@" || exit
}
