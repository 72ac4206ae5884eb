#!/bin/busybox sh
# shellcheck shell=dash
# /init of the board test's initramfs.  Runs the scenarios in /scenarios.sh
# one after another and marks each result on the console, for the host to
# compare:
#   @@ result NAME STATUS STDOUT STDERR LOG
# with the tool's exit status and base64 of its standard output, its
# standard error and the driver stand-in's log.  A scenario on the terminal
# writes its output to the console itself, between "@@ tty-begin NAME" and
# "@@ tty-end NAME", with output post-processing off so the bytes arrive as
# the tool wrote them.  Powers the board off at the end.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t devtmpfs dev /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t tmpfs tmp /tmp
# shellcheck source=../../../scripts/lib/board_functions.sh
. /lib/board_functions.sh
dmesg -n 1
echo "@@ boot $(cut -d' ' -f1 /proc/uptime)"

if [ -f /lib/modules/fuse.ko ] && ! insmod /lib/modules/fuse.ko; then
  echo "@@ error cannot load fuse.ko"
fi

# Each tool run is bounded, so a hung run fails its scenario, not the boot.
tool_timeout=20

# begin NAME: starts a scenario without a driver.
begin() {
  name=$1
  driver_pid=
  node=
  rm -f /tmp/out /tmp/err /tmp/log /tmp/status
  : >/tmp/out
}

# driver NODE OPTION...: serves NODE with the driver stand-in and waits
# until the node is mounted, for 10 s at most, so that a stand-in that
# neither serves nor stops fails its scenario, not the boot.
driver() {
  node=$1
  shift
  : >"$node"
  blindscan-emulator --serve "$node" --log /tmp/log "$@" &
  driver_pid=$!
  if ! wait_mounted "$node" $driver_pid 50000 200; then
    echo "@@ error $name: driver did not serve $node"
    return 1
  fi
}

# run_tool ARGUMENT...: the tool, bounded in time; with $stdin "closed" a
# shell closes descriptor 0 and then becomes the tool, so the tool starts
# without it whatever timeout does with its own descriptors.
run_tool() {
  if [ "$stdin" = closed ]; then
    timeout $tool_timeout sh -c 'exec mivo_blindscan "$@" <&-' sh "$@"
  else
    timeout $tool_timeout mivo_blindscan "$@"
  fi
}

# tool MODE STDIN ARGUMENT...: runs the tool with standard output on a
# pipe, a file, the terminal, or closed, and standard input on the console
# or closed.
tool() {
  mode=$1
  stdin=$2
  shift 2
  case $mode in
  pipe)
    { run_tool "$@" 2>/tmp/err; echo $? >/tmp/status; } | cat >/tmp/out
    status=$(cat /tmp/status)
    ;;
  file)
    run_tool "$@" >/tmp/out 2>/tmp/err
    status=$?
    ;;
  closed)
    run_tool "$@" >&- 2>/tmp/err
    status=$?
    ;;
  tty)
    stty -opost </dev/console
    echo "@@ tty-begin $name"
    run_tool "$@" >/dev/console 2>/tmp/err
    status=$?
    echo "@@ tty-end $name"
    stty opost </dev/console
    ;;
  esac
}

# end: stops the driver and marks the result.
end() {
  if [ -n "$driver_pid" ]; then
    kill "$driver_pid" 2>/dev/null
    wait "$driver_pid"
    umount "$node" 2>/dev/null
    rm -f "$node"
  fi
  echo "@@ result $name $status $(encode /tmp/out) $(encode /tmp/err) $(encode /tmp/log)"
}

# shellcheck source=/dev/null
. /scenarios.sh
echo "@@ done $(cut -d' ' -f1 /proc/uptime)"
poweroff -f
