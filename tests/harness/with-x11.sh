#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Runs a command inside a private X11 session: its own Xvfb, an openbox that binds no keys, a
# session bus that can start no services, and private HOME, XDG and runtime folders. On exit, failure, timeout or signal
# it ends exactly the processes it started and removes its folder.
#
#   with-x11.sh [--timeout S] [--screen WxHxD] [--split N] [--xft-dpi DPI] [--wm NAME] [--pulse] [--no-shm] -- command args…
#
#   --split N    divides the screen into N RandR monitors side by side (multi-monitor tests)
#   --xft-dpi D  sets Xft.dpi, which Qt turns into a device pixel ratio (192 gives 2)
#   --wm NAME    the window manager: openbox (the default) or xfwm4 (Xfce's, compositing off)
#   --pulse      starts a PulseAudio server of its own with a silent output ("vantrel_speakers")
#                and a silent default input ("vantrel_microphone"); without it there is none
#   --no-shm     an X server without the MIT-SHM extension, as over a network
set -u

timeout_s=120
screen=1920x1080x24
split=1
xft_dpi=
pulse=0
xvfb_extra=()
wm=openbox
while [ $# -gt 0 ]; do
    case "$1" in
        --pulse) pulse=1; shift ;;
        --no-shm) xvfb_extra+=(-extension MIT-SHM); shift ;;
        --timeout) timeout_s=$2; shift 2 ;;
        --screen) screen=$2; shift 2 ;;
        --split) split=$2; shift 2 ;;
        --xft-dpi) xft_dpi=$2; shift 2 ;;
        --wm) wm=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "with-x11: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "with-x11: no command" >&2; exit 2; }

for tool in Xvfb "$wm" dbus-run-session xrandr xprop; do
    command -v "$tool" >/dev/null || { echo "with-x11: $tool is not installed" >&2; exit 2; }
done
if [ "$pulse" -eq 1 ]; then
    for tool in pulseaudio pactl; do
        command -v "$tool" >/dev/null || { echo "with-x11: $tool is not installed" >&2; exit 2; }
    done
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-x11.XXXXXX") || exit 2
chmod 700 "$work"
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/runtime" "$work/home/Desktop"
chmod 700 "$work/runtime"

xvfb_pid=
wm_pid=
pulse_pid=
inner_pid=
cleanup() {
    trap - EXIT INT TERM HUP
    # The command's own process group first (it may have started helpers), then the session.
    if [ -n "$inner_pid" ]; then
        kill -TERM -- "-$inner_pid" 2>/dev/null
        sleep 0.2
        kill -KILL -- "-$inner_pid" 2>/dev/null
    fi
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill -- "-$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$pulse_pid" ] && wait "$pulse_pid" 2>/dev/null
    [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Xvfb picks a free display number itself and writes it to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset +extension RANDR +extension COMPOSITE \
    "${xvfb_extra[@]}" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "with-x11: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 2; }
    sleep 0.05
done
display=$(tr -d '\n' <"$work/display")
[ -n "$display" ] || { echo "with-x11: Xvfb gave no display" >&2; exit 2; }
export DISPLAY=":$display"

export HOME="$work/home"
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb
export VANTREL_TEST_HARNESS=1
unset WAYLAND_DISPLAY SESSION_MANAGER PULSE_SERVER PULSE_COOKIE PULSE_SINK PULSE_SOURCE

if [ "$pulse" -eq 1 ]; then
    # Only the modules named here: no hardware, no system bus, no suspending of idle devices.
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
        --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=vantrel_speakers" \
        --load="module-null-source source_name=vantrel_microphone" \
        >"$work/pulse.log" 2>&1 &
    pulse_pid=$!
    for _ in $(seq 200); do
        pactl info >/dev/null 2>&1 && break
        kill -0 "$pulse_pid" 2>/dev/null || { echo "with-x11: PulseAudio did not start:" >&2; cat "$work/pulse.log" >&2; exit 2; }
        sleep 0.05
    done
    pactl set-default-sink vantrel_speakers && pactl set-default-source vantrel_microphone \
        || { echo "with-x11: PulseAudio did not answer" >&2; exit 2; }
fi

if [ -n "$xft_dpi" ]; then
    echo "Xft.dpi: $xft_dpi" | xrdb -merge 2>/dev/null || echo "with-x11: xrdb is missing; Xft.dpi not set" >&2
fi

if [ "$split" -gt 1 ]; then
    width=${screen%%x*}
    rest=${screen#*x}
    height=${rest%%x*}
    part=$((width / split))
    output=$(xrandr --current | awk '/ connected/ {print $1; exit}')
    xrandr --delmonitor "$output" >/dev/null 2>&1
    for i in $(seq 0 $((split - 1))); do
        # Physical size in millimetres at 96 dpi, so the monitors report a sane dpi.
        xrandr --setmonitor "VANTREL-$i" "${part}/$((part * 254 / 960))x${height}/$((height * 254 / 960))+$((i * part))+0" \
            "$([ "$i" -eq 0 ] && echo "$output" || echo none)" >/dev/null
    done
fi

# A window manager like a desktop's, but one that takes no keys away from the tests.
case "$wm" in
    openbox)
        cat >"$work/openbox.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>1</number></desktops>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
XML
        setsid openbox --config-file "$work/openbox.xml" --sm-disable >"$work/wm.log" 2>&1 &
        ;;
    xfwm4)
        # Xfce with its compositor off, as on machines without one.
        # It reads its settings through xfconf, on a bus of its own (not the test's).
        setsid dbus-run-session -- xfwm4 --compositor=off --sm-client-disable >"$work/wm.log" 2>&1 &
        ;;
    *) echo "with-x11: unknown window manager $wm" >&2; exit 2 ;;
esac
wm_pid=$! # the leader of its own process group, with whatever it starts
# Up to 20 s on a busy machine (xfwm4 first starts its settings daemon); a test that runs
# before its window manager would test a desktop without one.
for _ in $(seq 400); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$wm_pid" 2>/dev/null || { echo "with-x11: $wm did not start:" >&2; cat "$work/wm.log" >&2; exit 2; }
    sleep 0.05
done

# A session bus of the test's own that knows no service files: only what a test registers
# itself is on it, so a desktop's real portal, file manager or tray can never be activated.
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

# The command runs in a process group of its own so that everything it starts can be ended.
setsid dbus-run-session --config-file="$work/bus.xml" -- timeout -k 5 "$timeout_s" "$@" &
inner_pid=$!
wait "$inner_pid"
status=$?
if [ "$status" -eq 124 ]; then
    echo "with-x11: timed out after ${timeout_s}s: $*" >&2
fi
exit "$status"
