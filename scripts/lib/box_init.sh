#!/bin/busybox sh
# shellcheck shell=dash
# /init of the box that scripts/box boots.  /box.conf sets:
#   command      the command to run, shell-quoted; empty for a shell
#   rows, cols   the host terminal's size, for the shell
#   serve_nodes  a function that calls "serve NODE OPTION..." for each node:
#                a driver stand-in serves NODE with those options
# A command runs in a shell of its own in /root, with its standard input on
# /dev/null; an interactive shell runs there on the console, with job
# control.  The result goes to the second serial port, for the host to pass
# on:
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
# shellcheck source=board_functions.sh
. /lib/board_functions.sh
# shellcheck source=/dev/null
. /box.conf

mark() { echo "@@ $*" >/dev/ttyS1; }

fail() {
  mark error "$*"
  poweroff -f
}

# serve NODE OPTION...: the stand-in on NODE, its log in /tmp; waits until
# the node is mounted, or says why the stand-in stopped.
serve() {
  node=$1
  shift
  : >"$node"
  log=/tmp/$(basename "$node").log
  blindscan-emulator --serve "$node" --log "$log" "$@" 2>"$log.err" &
  wait_mounted "$node" $! 20000 || fail "$(cat "$log.err")"
}

insmod /lib/modules/fuse.ko 2>/tmp/box.stderr || fail "fuse.ko: $(cat /tmp/box.stderr)"
serve_nodes

mkdir -p /root
cd /root || fail "no /root"
if [ -n "$command" ]; then
  # A shell of its own: the command's exit, exec or signal ends that shell,
  # not this one, and init's functions are not the command's.
  sh -c "$command" </dev/null >/tmp/box.stdout 2>/tmp/box.stderr
  mark result $? "$(encode /tmp/box.stdout)" "$(encode /tmp/box.stderr)"
else
  # shellcheck disable=SC2154 # /box.conf sets them
  stty rows "$rows" cols "$cols"
  PS1='\h:\w# ' setsid cttyhack sh
  mark result $? - -
fi
poweroff -f
