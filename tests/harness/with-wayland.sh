#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Runs a command inside a private Wayland session: a headless sway (no GPU, no input devices),
# a session bus that can start no services, and private HOME, XDG and runtime folders. On exit,
# failure, timeout or signal it ends exactly the processes it started and removes its folder.
#
#   with-wayland.sh [--timeout S] [--outputs N] [--size WxH] -- command args…
#
#   --outputs N   N outputs side by side (the second one made with `swaymsg create_output`)
#   --size WxH    the resolution of every output (default 1280x720)
#
# The command finds WAYLAND_DISPLAY, SWAYSOCK and QT_QPA_PLATFORM=wayland set. It starts any
# portal, PipeWire daemon, tray watcher or input client it needs itself, on this private bus.
set -u

timeout_s=120
outputs=1
size=1280x720
while [ $# -gt 0 ]; do
    case "$1" in
        --timeout) timeout_s=$2; shift 2 ;;
        --outputs) outputs=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "with-wayland: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "with-wayland: no command" >&2; exit 2; }

for tool in sway swaymsg unshare dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "with-wayland: $tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wayland.XXXXXX") || exit 2
chmod 700 "$work"
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/runtime" "$work/home/Desktop"
chmod 700 "$work/runtime"

sway_pid=
inner_pid=
cleanup() {
    trap - EXIT INT TERM HUP
    if [ -n "$inner_pid" ]; then
        kill -TERM -- "-$inner_pid" 2>/dev/null
        sleep 0.2
        kill -KILL -- "-$inner_pid" 2>/dev/null
    fi
    if [ -n "$sway_pid" ]; then
        kill -- "-$sway_pid" 2>/dev/null
        wait "$sway_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

export HOME="$work/home"
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
export VANTREL_TEST_HARNESS=1
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK SESSION_MANAGER PULSE_SERVER PIPEWIRE_REMOTE I3SOCK

# A desktop like any other, but one that binds no keys, draws no bar or borders (window pixels
# are then exactly what the client drew) and gives new windows focus.
width=${size%%x*}
height=${size#*x}
cat >"$work/sway.conf" <<CONF
output * resolution ${width}x${height} position 0 0 bg #204060 solid_color
default_border none
default_floating_border none
focus_follows_mouse no
for_window [app_id=".*"] floating enable
xwayland disable
CONF

# sway refuses to run as root; in a user namespace of its own it is somebody else there while
# its sockets stay usable here.
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=1 \
    setsid unshare -U sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 400); do
    sock=$(ls "$work/runtime"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    wl=$(cd "$work/runtime" && ls wayland-* 2>/dev/null | grep -v lock | head -n 1)
    [ -n "$sock" ] && [ -n "$wl" ] && SWAYSOCK=$sock swaymsg -t get_version >/dev/null 2>&1 && break
    kill -0 "$sway_pid" 2>/dev/null || { echo "with-wayland: sway did not start:" >&2; cat "$work/sway.log" >&2; exit 2; }
    sleep 0.05
done
[ -n "${sock:-}" ] && [ -n "${wl:-}" ] || { echo "with-wayland: sway gave no socket" >&2; cat "$work/sway.log" >&2; exit 2; }
export SWAYSOCK=$sock WAYLAND_DISPLAY=$wl
export QT_QPA_PLATFORM=wayland XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway

# Further outputs to the right of the first, each the same size.
for i in $(seq 2 "$outputs"); do
    swaymsg create_output >/dev/null || { echo "with-wayland: no output $i" >&2; exit 2; }
done
if [ "$outputs" -gt 1 ]; then
    i=0
    for name in $(swaymsg -t get_outputs -r | sed -n 's/.*"name": "\([^"]*\)".*/\1/p'); do
        swaymsg output "$name" resolution "${width}x${height}" position "$((i * width))" 0 >/dev/null
        i=$((i + 1))
    done
fi

# A session bus of the test's own that knows no service files (see with-x11.sh).
cat >"$work/bus.xml" <<XML
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir=$work/runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
XML

setsid dbus-run-session --config-file="$work/bus.xml" -- timeout -k 5 "$timeout_s" "$@" &
inner_pid=$!
wait "$inner_pid"
status=$?
if [ "$status" -eq 124 ]; then
    echo "with-wayland: timed out after ${timeout_s}s: $*" >&2
fi
exit "$status"
