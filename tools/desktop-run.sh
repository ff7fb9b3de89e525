#!/usr/bin/env bash
# Runs a command on a private desktop made of real pieces, as people have
# them: a new Xvfb (tools/session.sh), a private D-Bus session bus (with the
# accessibility bus started on demand, so screen-reader clients such as
# AT-SPI tests see the program), and optionally a window manager on that
# display or a Wayland compositor on top of it.
#   tools/desktop-run.sh [--wm openbox|xfwm4|mutter|kwin] [--weston|--sway|--mutter|--kwin] [--]
#                        COMMAND [ARGS...]
# --wm NAME   starts that X11 window manager and waits until it manages the
#             screen (it has set _NET_SUPPORTING_WM_CHECK on the root window):
#             openbox, xfwm4, or GNOME's (mutter) or KDE's (kwin_x11)
# --weston    starts weston's X11 backend on the display, in a private
#             XDG_RUNTIME_DIR, with its debug protocol (weston-debug
#             scene-graph tells where each window is); exports WAYLAND_DISPLAY
#             (DISPLAY stays set for tools that read the screen, e.g.
#             xdotool, xclip)
# --sway      starts sway (wlroots' X11 backend, software rendering) on the
#             display, as an unprivileged user when run as root (sway refuses
#             root); exports WAYLAND_DISPLAY and SWAYSOCK (its IPC socket,
#             for swaymsg)
# --mutter    starts GNOME's compositor, mutter, nested on the display (its
#             output is an X window of 1024 x 768), Wayland only; exports
#             WAYLAND_DISPLAY
# --kwin      starts KDE's compositor, kwin_wayland, windowed on the display,
#             with KDE's Breeze title bars; exports WAYLAND_DISPLAY. Its
#             scripting interface (D-Bus org.kde.KWin /Scripting) drives
#             what its window menu does; print() in a script writes to its
#             log, $QUILL_DESKTOP_LOGS/kwin.log.
# GNOME's and KDE's sessions read settings of their own (a key for full
# screen, which GNOME leaves unbound; new windows centred; no animations).
# Exports QUILL_DESKTOP_PIDS (the pids of what it started) for tests that
# check that nothing else is left, and QUILL_DESKTOP_LOGS (the folder of the
# session's logs: *.log). Everything it starts is stopped by its
# process id when the command ends, fails or is interrupted. The command is
# bounded by QUILL_DESKTOP_TIMEOUT seconds (default 600).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/session.sh"

wm=""
compositor=""
while [[ $# -gt 0 ]]; do
    case $1 in
        --wm) wm=$2; shift 2 ;;
        --weston|--sway|--mutter|--kwin) compositor=${1#--}; shift ;;
        --) shift; break ;;
        -*) echo "desktop-run: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
[[ $# -ge 1 ]] || {
    echo "usage: desktop-run.sh [--wm openbox|xfwm4|mutter|kwin] [--weston|--sway|--mutter|--kwin] [--] COMMAND [ARGS...]" >&2
    exit 2
}

# Never the user's own compositor.
unset WAYLAND_DISPLAY
bus_pid=""
wm_pid=""
compositor_pid=""
on_session_end() {
    stop_process "$compositor_pid"
    stop_process "$wm_pid"
    # The bus and what it started on demand (the accessibility bus and its
    # registry) share its process group.
    if [[ -n $bus_pid ]]; then
        kill -TERM -- "-$bus_pid" 2>/dev/null || true
        stop_process "$bus_pid"
        kill -KILL -- "-$bus_pid" 2>/dev/null || true
    fi
}
begin_session

# Polls COMMAND every 0.1 s until it succeeds. The bound only catches a
# hang: a busy machine takes seconds, not a minute. With a pid, it stops as
# soon as that process has died; either way it shows the process's log.
wait_until() {  # SECONDS WHAT PID|- LOG|- COMMAND...
    local limit=$1 what=$2 pid=$3 log=$4; shift 4
    for _ in $(seq $((limit * 10))); do
        "$@" >/dev/null 2>&1 && return 0
        if [[ $pid != - ]] && ! kill -0 "$pid" 2>/dev/null; then
            echo "desktop-run: $what ended before it came up" >&2
            [[ $log == - ]] || tail -n 20 "$log" >&2
            exit 2
        fi
        sleep 0.1
    done
    echo "desktop-run: $what did not come up within $limit s" >&2
    [[ $log == - ]] || tail -n 20 "$log" >&2
    exit 2
}

# weston's X11 backend moves its pointer by the X pointer's relative motion
# from where the X pointer last entered its window, so a pointer already
# inside when weston starts leaves weston's pointer elsewhere than X's. The
# screen is taller than weston's window, so that a test can move the pointer
# out (QUILL_POINTER_OUTSIDE) and enter it again exactly where it clicks.
# (The same room below the nested output of GNOME's and KDE's compositors.)
screen=1024x768
if [[ -n $compositor && $compositor != sway ]]; then
    screen=1024x800
    export QUILL_POINTER_OUTSIDE="512 790"
fi
# mutter tells a client the pointer left when it leaves mutter's window, and
# runs a leave and an entry that come together into nothing: a test waits
# for the one before the other.
if [[ $compositor == mutter ]]; then export QUILL_POINTER_LEAVES=1; fi
if [[ -z ${QUILL_XVFB_PID:-} || -z ${DISPLAY:-} ]]; then
    start_xvfb "${QUILL_SCREEN:-$screen}" "$tmp"
fi

# A runtime folder of our own: the accessibility bus and weston put their
# sockets there (never in the user's); and settings, data and caches of our
# own, so that neither the user's desktop settings (a window manager's
# theme, a clipboard manager's history) reach the session nor the session's
# reach them.
export XDG_RUNTIME_DIR=$tmp/runtime XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_CACHE_HOME=$tmp/cache
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
# What the tests compare does not depend on this machine's taste or its
# user's: the session has a language (English, as in C; a test gives the
# program another where it wants one), fonts of its own
# (tools/test-fonts.conf), and the pointer as every compositor and toolkit
# draws it when no cursor theme is installed (a desktop's theme can draw
# one several times larger): an empty search path.
export LANG=C.UTF-8
unset LANGUAGE LC_ALL $(compgen -e | grep '^LC_' || true)
export FONTCONFIG_FILE=$here/test-fonts.conf
export XCURSOR_PATH=$tmp/cursors XCURSOR_THEME=default XCURSOR_SIZE=24
mkdir "$XCURSOR_PATH"
# A session bus of our own, in its own process group.
setsid dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$tmp/bus" >"$tmp/bus.log" 2>&1 &
bus_pid=$!
wait_until 60 "the session bus" "$bus_pid" "$tmp/bus.log" test -s "$tmp/bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$tmp/bus")
# Qt offers its accessibility tree over AT-SPI even without a screen reader
# running, so that tests can drive the window as one would.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# A desktop session starts the accessibility bus at login; so do we (the bus
# activates it on this first call).
wait_until 60 "the accessibility bus" - - dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress
pids=("$bus_pid")

# GNOME's and KDE's settings, as a user's desktop has them but for what the
# tests need: GNOME binds no key to full screen; new windows are centred;
# nothing is animated (no fades to wait for).
gnome_settings() {
    export GSETTINGS_BACKEND=keyfile
    mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
    printf '%s\n' '[org/gnome/desktop/wm/keybindings]' "toggle-fullscreen=['<Super>f']" \
        '[org/gnome/mutter]' 'center-new-windows=true' \
        '[org/gnome/desktop/interface]' 'enable-animations=false' >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
}
kde_settings() {
    printf '%s\n' '[Compositing]' 'Enabled=false' '[Windows]' 'Placement=Centered' >"$XDG_CONFIG_HOME/kwinrc"
    printf '%s\n' '[KDE]' 'AnimationDurationFactor=0' >"$XDG_CONFIG_HOME/kdeglobals"
}

if [[ -n $wm ]]; then
    case $wm in
        openbox) "$wm" --sm-disable >"$tmp/wm.log" 2>&1 & ;;
        xfwm4) "$wm" --compositor=off --sm-client-disable >"$tmp/wm.log" 2>&1 & ;;
        mutter) gnome_settings; mutter --x11 --replace --sm-disable >"$tmp/wm.log" 2>&1 & ;;
        kwin) kde_settings; QT_QPA_PLATFORM=xcb kwin_x11 --replace >"$tmp/wm.log" 2>&1 & ;;
        *) echo "desktop-run: unknown window manager $wm" >&2; exit 2 ;;
    esac
    wm_pid=$!
    wait_until 60 "$wm" "$wm_pid" "$tmp/wm.log" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
    pids+=("$wm_pid")
fi

socket=quill-wayland-$$
case $compositor in
    "") ;;
    weston)
        # (The pixman renderer: llvmpipe's GL costs a busy machine seconds
        # of lag between an input event and its delivery.)
        weston --backend=x11-backend.so --use-pixman --socket="$socket" --width=1024 --height=768 --idle-time=0 \
            --no-config --debug >"$tmp/weston.log" 2>&1 &
        compositor_pid=$! ;;
    sway)
        # sway will not run as root: as nobody, in a runtime folder of its
        # own (root, running the tests, can still reach its sockets).
        as_user=()
        if [[ $(id -u) -eq 0 ]]; then
            chown nobody:nogroup "$XDG_RUNTIME_DIR"
            chmod 711 "$tmp"
            as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
            # The Xvfb accepts local clients of any user.
        fi
        printf '%s\n' 'xwayland disable' 'output * bg #204060 solid_color' 'default_border normal' \
            'bindsym Mod4+Shift+f fullscreen toggle' >"$tmp/sway.config"
        chmod 644 "$tmp/sway.config"
        export SWAYSOCK=$XDG_RUNTIME_DIR/sway-ipc.sock
        WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
            "${as_user[@]}" sway --config "$tmp/sway.config" >"$tmp/sway.log" 2>&1 &
        compositor_pid=$! ;;
    mutter)
        gnome_settings
        MUTTER_DEBUG_DUMMY_MODE_SPECS=1024x768 mutter --nested --wayland --no-x11 --wayland-display="$socket" \
            --sm-disable >"$tmp/mutter.log" 2>&1 &
        compositor_pid=$! ;;
    kwin)
        kde_settings
        # Debian's kwin_wayland carries a file capability (CAP_SYS_RESOURCE),
        # which a process that may not gain it (a container) cannot exec; a
        # copy carries none, and KWin does without.
        cp /usr/bin/kwin_wayland "$tmp/kwin_wayland"
        env -u QT_QPA_PLATFORM "$tmp/kwin_wayland" --x11-display "$DISPLAY" --socket "$socket" --no-lockscreen \
            --width 1024 --height 768 >"$tmp/kwin.log" 2>&1 &
        compositor_pid=$! ;;
    *) echo "desktop-run: unknown compositor $compositor" >&2; exit 2 ;;
esac
if [[ $compositor == sway ]]; then
    wait_until 60 sway "$compositor_pid" "$tmp/sway.log" \
        sh -c 'ls "$XDG_RUNTIME_DIR" | grep -q "^wayland-[0-9]*$" && swaymsg -t get_version'
    socket=$(ls "$XDG_RUNTIME_DIR" | grep '^wayland-[0-9]*$' | head -n1)
elif [[ -n $compositor ]]; then
    wait_until 60 "$compositor" "$compositor_pid" "$tmp/$compositor.log" test -S "$XDG_RUNTIME_DIR/$socket"
fi
if [[ $compositor == kwin || $wm == kwin ]]; then
    # Its scripting interface too.
    wait_until 60 "KWin's D-Bus interface" - - dbus-send --session --print-reply --dest=org.kde.KWin /Scripting \
        org.freedesktop.DBus.Peer.Ping
fi
if [[ -n $compositor ]]; then
    export WAYLAND_DISPLAY=$socket
    pids+=("$compositor_pid")
fi

export QUILL_DESKTOP_PIDS="${pids[*]}"
# Where the session's own logs are (the compositor's, the window manager's),
# for a failed test to keep beside its report.
export QUILL_DESKTOP_LOGS=$tmp
run_bounded "${QUILL_DESKTOP_TIMEOUT:-600}" "$@"
if [[ $status -ne 0 && -n $compositor ]]; then
    echo "desktop-run: $compositor's log:" >&2
    tail -n 20 "$tmp/$compositor.log" >&2
fi
exit "$status"
