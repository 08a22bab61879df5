#!/usr/bin/env bash
# The automatic IME against a real fcitx5, in a Wayland session run as an unprivileged
# user (see wayland_session.sh); the session bus can start fcitx5 on demand, as a
# desktop's bus does.
#   1. With no input-method service running, starting the program (IME 1) leaves none
#      running.
#   2. With fcitx5 running (two keyboard layouts, the second one counting as "open"),
#      "IME" 1 opens the input method of the program's window once it has the focus,
#      while the window that had the focus before (another program, standing for the
#      terminal) stays closed.
#   fcitx5_e2e.sh VELMAR_BINARY FOCUS_CLIENT
set -euo pipefail

binary=$1
client=$2

session_tools="fcitx5"
# shellcheck source=wayland_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/wayland_session.sh"
[[ -f /usr/share/dbus-1/services/org.fcitx.Fcitx5.service ]] \
    || fail "fcitx5 has no D-Bus activation file: the test would prove nothing"
cp "$client" "$tmp/focus-client"
printf '[General]\nIME=1\n\n[IPM]\n2425\\UserName=wayland\n' >"$home/.config/Velmar/Velmar5.ini"

fcitx_running() {
    on_wayland dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.fcitx.Fcitx5 | grep -q 'boolean true'
}
# state: the controller's State() of the input context that had the focus last
# (1 closed, 2 open).
state() {
    on_wayland dbus-send --session --print-reply --dest=org.fcitx.Fcitx5 /controller \
        org.fcitx.Fcitx.Controller1.State | awk '/int32/ { print $2 }'
}
start_program() {
    (in_place=1 on_wayland QT_QPA_PLATFORM=wayland QT_IM_MODULE=fcitx "$tmp/velmar" \
        >"$tmp/velmar.log" 2>&1) &
    program=$!
    pids+=($program)
    wait_for 20 has_window || { cat "$tmp/velmar.log" >&2; fail "no program window"; }
}

# 1. Nothing runs: the program must not start fcitx5 through the bus.
start_program
sleep 2 # start-up, the focus and the IME switch after it
fcitx_running && fail "starting the program started fcitx5"
pgrep -u "$uid" -x fcitx5 >/dev/null && fail "an fcitx5 process runs after the program's start"
echo "ok: no input method was started"
kill -TERM "$program"
no_window() { ! has_window; }
wait_for 10 no_window || fail "the program did not end"

# 2. fcitx5 runs with two layouts; the second one is what Activate switches to.
mkdir -p "$home/.config/fcitx5"
cat >"$home/.config/fcitx5/profile" <<'PROFILE'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=keyboard-jp

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=keyboard-jp
Layout=

[GroupOrder]
0=Default
PROFILE
chown -R "$uid:$uid" "$home/.config/fcitx5"
on_wayland fcitx5 --disable=wayland,waylandim,xim,notificationitem >"$tmp/fcitx5.log" 2>&1 &
pids+=($!)
wait_for 15 fcitx_running || { cat "$tmp/fcitx5.log" >&2; fail "fcitx5 did not start"; }

on_wayland QT_QPA_PLATFORM=wayland QT_IM_MODULE=fcitx "$tmp/focus-client" terminal \
    >"$tmp/client.log" 2>&1 &
pids+=($!)
wait_for 20 has_window terminal || fail "no terminal window"
terminal_has_context() { [[ "$(state)" == 1 ]]; }
wait_for 10 terminal_has_context || fail "the terminal's input context is not closed: $(state)"

start_program
ours_open() { [[ "$(state)" == 2 ]]; }
wait_for 10 ours_open || fail "the program's window did not get an open input method: $(state)"
echo "ok: with IME 1 the program's window has the input method open"

on_wayland swaymsg '[title="terminal"] focus' >/dev/null
sleep 1
[[ "$(state)" == 1 ]] || fail "the terminal's input method was switched: state $(state)"
echo "ok: the terminal that had the focus before is not switched"
