#!/usr/bin/env bash
# The runs of scripts/demo, once it has built what they run: the tool under
# the driver stand-in, each scan taking 300 ms.
#   demo_runs.sh BUILD_DIR OUT_DIR                  four scans of the built-in sky
#   demo_runs.sh BUILD_DIR OUT_DIR --satellite NAME [--lnb LNB] those four scans of a published
#       list, checked against it (OUT_DIR/NAME-comparison.txt, its summary line
#       printed), written as the channel file OUT_DIR/NAME.conf and drawn into
#       OUT_DIR/NAME.svg, whose path is the last line; all through LNB where given
#   demo_runs.sh BUILD_DIR OUT_DIR ARGUMENT...      one run of the tool with them
# Exit status: as scripts/demo --help gives it.
set -euo pipefail
build=$1 out=$2
shift 2
source_dir=$(dirname "$0")/../..

tool=$build/mivo_blindscan
emulator=$build/blindscan-emulator
# A short simulated scan time, as a tuner would take.
scan_ms=300

# Set, even to "", only when --satellite is given: the stand-in judges the
# name, so an empty one is refused there rather than taken for none.
unset satellite
if [ "${1-}" = --satellite ]; then
  satellite=$2
  shift 2
fi
# The dish's LNB, for every command that reckons a frequency.
dish=()
if [ "${1-}" = --lnb ]; then
  dish=(--lnb "$2")
  shift 2
fi

if [ $# -gt 0 ]; then
  # The node the tool will open; with another argument count it opens none.
  device=0
  [ $# -eq 7 ] && device=$1
  echo "== mivo_blindscan $*"
  exec "$emulator" --device "$device" --scan-ms "$scan_ms" -- "$tool" "$@"
fi

# The four sweeps: each band over its part of the tuner range, the symbol
# rates of the built-in sky.  A satellite's sweeps are the whole sweeps the
# after-scan commands assume: each band over the whole tuner range, so the
# carriers between 11.55 and 11.9 GHz are found in both, and every symbol
# rate a driver reports, since published lists hold carriers narrower than
# 1000 kSym/s.
low=(950 1950 1000 45000)
high=(1100 2150 1000 45000)
emulator_options=(--scan-ms "$scan_ms")
if [ -n "${satellite+given}" ]; then
  whole=$(python3 -B "$source_dir/kit/python/kit_facts.py" --print TUNER_LOWEST_MHZ TUNER_HIGHEST_MHZ \
          WHOLE_SWEEP_MIN_SYMBOL WHOLE_SWEEP_MAX_SYMBOL)
  read -r -a low <<<"$whole"
  high=("${low[@]}")
  emulator_options+=(--satellite "$satellite" "${dish[@]}")
fi

status=0
swept=()  # each scan's arguments, as blindscan-compare takes them
scan() {
  local heading=$1
  shift
  swept+=(--sweep "$*")
  echo "== $heading: mivo_blindscan $*"
  "$emulator" "${emulator_options[@]}" -- "$tool" "$@" || {
    status=$?
    echo "(exit status $status)"
  }
}
sweeps() {
  scan "Low band, horizontal" 0 "${low[@]}" 0 0
  scan "Low band, vertical" 0 "${low[@]}" 1 0
  scan "High band, horizontal" 0 "${high[@]}" 0 1
  scan "High band, vertical" 0 "${high[@]}" 1 1
}

if [ -z "${satellite+given}" ]; then
  sweeps
  exit $status
fi

# The emulator says what is wrong with the name, once, before the name
# goes into any path.
"$emulator" --satellite "$satellite" -- true
# The sweeps go to a file (so each report comes before its "open path", as in
# any file), are printed, and are drawn.  A failed sweep leaves no picture: a
# picture of part of the sky would pass for all of it.
mkdir -p "$out"
report=$out/$satellite.txt
picture=$out/$satellite.svg
rm -f "$picture"
sweeps >"$report"
cat "$report"
[ $status -eq 0 ] || exit $status
# The scan checked against the list it was made from, for people and for the
# picture, and its channel file.
comparison=$out/$satellite-comparison.txt
listed=$out/$satellite-comparison.tsv
channels=$out/$satellite.conf
compare=("$build/blindscan-compare" --satellite "$satellite" "${swept[@]}" "${dish[@]}")
# Status 1 says that a listed transponder was missed; 2 that it failed.
"${compare[@]}" "$report" >"$comparison" || status=$?
head -n 1 "$comparison"
[ "$status" -le 1 ] || exit "$status"
"${compare[@]}" --tsv "$report" >"$listed" || { missed=$?; [ $missed -eq 1 ] || exit $missed; }
"$build/blindscan-channels" -o "$channels" "${swept[@]}" "${dish[@]}" "$report"
echo "$channels"
"$source_dir/after_scan/plot-scan" --channels "$build/blindscan-channels" --title "$satellite" --comparison "$listed" \
  "${swept[@]}" "${dish[@]}" -o "$picture" "$report"
echo "$picture"
exit $status
