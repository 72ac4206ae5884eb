#!/bin/busybox sh
# /init of the box that scripts/box boots.  /box.conf sets:
#   nodes    the nodes to serve, one driver stand-in each
#   driver   the stand-in's options, shell-quoted
#   command  the command to run, shell-quoted; empty for a shell
#   rows, cols  the host terminal's size, for the shell
# A command runs in /root with its standard input on /dev/null; a shell
# runs there on the console, with job control.  The result goes to the
# second serial port, for the host to pass on:
#   @@ result STATUS STDOUT STDERR
# with base64 of the command's standard output and standard error ("-" for
# none, and for a shell), or "@@ error WHAT" when the box could not serve
# its nodes.  Then the box powers off.
/bin/busybox --install -s /bin
export PATH=/bin HOME=/root
mount -t devtmpfs dev /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t tmpfs tmp /tmp
hostname box
. /box.conf

mark() { echo "@@ $*" >/dev/ttyS1; }
encode() { if [ -s "$1" ]; then base64 <"$1" | tr -d '\n'; else echo -n -; fi; }

fail() {
  mark error "$*"
  poweroff -f
}

# serve NODE: the stand-in on NODE, its log in /tmp; waits until the node
# is mounted, or says why the stand-in stopped.
serve() {
  : >"$1"
  log=/tmp/$(basename "$1").log
  eval "blindscan-emulator --serve $1 --log $log $driver" 2>"$log.err" &
  pid=$!
  until grep -q " $1 fuse" /proc/mounts; do
    if ! kill -0 $pid 2>/dev/null; then
      fail "$(cat "$log.err")"
    fi
    usleep 20000
  done
}

insmod /lib/modules/fuse.ko 2>/tmp/box.stderr || fail "fuse.ko: $(cat /tmp/box.stderr)"
for node in $nodes; do
  serve "$node"
done

mkdir -p /root && cd /root
if [ -n "$command" ]; then
  eval "$command" </dev/null >/tmp/box.stdout 2>/tmp/box.stderr
  mark result $? "$(encode /tmp/box.stdout)" "$(encode /tmp/box.stderr)"
else
  stty rows "$rows" cols "$cols"
  PS1='\h:\w# ' setsid cttyhack sh
  mark result $? - -
fi
poweroff -f
