# shellcheck shell=dash
# Functions that both /inits of the board, the box's and the board test's,
# source, in busybox's sh, from /lib/board_functions.sh in the initramfs.

# encode FILE: base64 of FILE on one line, or "-" when FILE is empty or
# missing, so that a result mark is always one line of fields.
encode() { if [ -s "$1" ]; then base64 <"$1" | tr -d '\n'; else echo -n -; fi; }

# wait_mounted NODE PID USECONDS [TRIES]: waits until the driver stand-in
# PID has mounted NODE, looking every USECONDS.  Returns 1 as soon as PID
# has stopped, or, with TRIES, when NODE is still not mounted after TRIES
# waits.
wait_mounted() {
  local tries=0
  until grep -q " $1 fuse" /proc/mounts; do
    tries=$((tries + 1))
    if { [ -n "${4-}" ] && [ $tries -gt "$4" ]; } || ! kill -0 "$2" 2>/dev/null; then
      return 1
    fi
    usleep "$3"
  done
}
