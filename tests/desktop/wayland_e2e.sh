#!/usr/bin/env bash
# The program on a real Wayland compositor: sway without a screen (headless, pixman),
# with swaybar as the notification area and a session bus of its own, all run as an
# unprivileged user inside a network namespace this script creates and removes.
#   1. text put on the clipboard with wl-copy shows in the start-up window;
#   2. 全部コピー (Ctrl+A) gives it back byte for byte (wl-paste);
#   3. hidden to the notification area, a click on the icon with new clipboard text
#      opens a window holding it;
#   4. closing ends the program quickly.
#   wayland_e2e.sh VELMAR_BINARY [SCREENSHOT.png]
set -euo pipefail

binary=$1
shot=${2:-}

fail() { echo "FAIL: $*" >&2; exit 1; }
if ((EUID != 0)); then
    [[ "${CI:-}" == true ]] && fail "needs root for the network namespace"
    echo "SKIP: needs root for the network namespace"
    exit 77
fi
for tool in sway swaymsg wl-copy wl-paste wtype dbus-daemon dbus-send setpriv ip; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
done

uid=65534 # nobody: sway refuses to run as root
ns_a="vwl-$$-a"
ns_b="vwl-$$-b"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/velmar-wayland.XXXXXX")
chmod 755 "$tmp"
pids=()

cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for ns in "$ns_a" "$ns_b"; do
        [[ -e "/run/netns/$ns" ]] || continue
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
        ip netns delete "$ns" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT

# Two namespaces joined by a veth pair: the program's broadcasts reach the other end
# and nothing else.
ip netns add "$ns_a"
ip netns add "$ns_b"
ip link add veth0 netns "$ns_a" type veth peer name veth0 netns "$ns_b"
ip -n "$ns_a" address add 10.77.41.1/24 dev veth0
ip -n "$ns_b" address add 10.77.41.2/24 dev veth0
for ns in "$ns_a" "$ns_b"; do
    ip -n "$ns" link set lo up
    ip -n "$ns" link set veth0 up
    ip -n "$ns" route add default dev veth0
done

home=$tmp/home
run=$tmp/run
mkdir -p "$home/.config/Velmar" "$run"
cp "$binary" "$tmp/velmar"
# An existing settings file: no first-start dialog.
printf '[IPM]\n2425\\UserName=wayland\n' >"$home/.config/Velmar/Velmar5.ini"
cat >"$home/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1280x800
default_border normal
xwayland disable
bar {
    position top
    tray_output *
}
EOF
chown -R "$uid:$uid" "$home" "$run"
chmod 700 "$run"

# as_user ENV... COMMAND...: runs inside the namespace as the unprivileged user.
as_user() {
    ip netns exec "$ns_a" setpriv --reuid="$uid" --regid="$uid" --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$run" \
        XDG_CONFIG_HOME="$home/.config" LANG=C.UTF-8 \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus" "$@"
}
# wait_for SECONDS COMMAND...: polls the command until it succeeds.
wait_for() {
    local limit=$1 start=$SECONDS
    shift
    until "$@" 2>/dev/null; do
        ((SECONDS - start < limit)) || return 1
        sleep 0.1
    done
}

as_user dbus-daemon --session --address="unix:path=$run/bus" --nofork --nopidfile \
    >"$tmp/bus.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$run/bus" || fail "the session bus did not start"

as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_HEADLESS_OUTPUTS=1 sway -c "$home/sway.conf" >"$tmp/sway.log" 2>&1 &
pids+=($!)
socket() { compgen -G "$run/wayland-*[0-9]" | head -1; }
socket_exists() { [[ -n "$(socket)" ]]; }
wait_for 15 socket_exists || { cat "$tmp/sway.log" >&2; fail "sway did not start"; }
display=$(basename "$(socket)")
swaysock=$(compgen -G "$run/sway-ipc.*.sock" | head -1)
on_wayland() { as_user WAYLAND_DISPLAY="$display" SWAYSOCK="$swaysock" "$@"; }
has_tray_host() {
    on_wayland dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
        /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierWatcher string:IsStatusNotifierHostRegistered |
        grep -q 'boolean true'
}
wait_for 15 has_tray_host || fail "swaybar registered no notification area"

# press_ctrl KEY: Ctrl+KEY from a virtual keyboard. A client may drop the first key
# that follows a new keyboard's key map, so the keys wait a moment for it.
press_ctrl() { on_wayland wtype -s 300 -M ctrl "$1" -m ctrl; }
# clipboard_is FILE: wl-paste gives exactly the bytes of FILE.
clipboard_is() { cmp -s "$1" <(on_wayland wl-paste --no-newline); }

# Japanese text, a blank line and a line without its break at the end.
printf '日本語のテキスト\n\n二行目 ＞ABC' >"$tmp/first.txt"
printf 'トレイから\n戻ったとき' >"$tmp/second.txt"
on_wayland sh -c "wl-copy <'$tmp/first.txt'"
wait_for 5 clipboard_is "$tmp/first.txt" || fail "wl-copy did not take the text"

on_wayland QT_QPA_PLATFORM=wayland "$tmp/velmar" >"$tmp/velmar.log" 2>&1 &
program=$!
pids+=($program)
has_window() { on_wayland swaymsg -t get_tree | grep -q '"name": "Velmar7 MainWindow"'; }
wait_for 20 has_window || { cat "$tmp/velmar.log" >&2; fail "no program window on the compositor"; }
sleep 1.5 # the clipboard window opens once the compositor has handed the clipboard over
[[ -z "$shot" ]] || on_wayland grim "$shot" || echo "no screenshot (grim)" >&2

# 全部コピー of the start-up window: the clipboard must come back byte for byte.
on_wayland sh -c "wl-copy <'$tmp/second.txt'"
wait_for 5 clipboard_is "$tmp/second.txt" || fail "wl-copy did not take the second text"
press_ctrl a
wait_for 5 clipboard_is "$tmp/first.txt" || {
    on_wayland wl-paste --no-newline | od -c | head >&2
    fail "全部コピー of the start-up window did not give the wl-copy text back"
}
echo "ok: the start-up window holds the wl-copy text; 全部コピー gives it back"

# タスクトレイへ (Ctrl+W), new clipboard text, a click on the icon (what swaybar does
# on a left click), then 全部コピー of what came up.
press_ctrl w
no_window() { ! has_window; }
wait_for 5 no_window || fail "タスクトレイへ left the window on the compositor"
item=""
find_item() {
    item=$(on_wayland dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
        /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems |
        grep -o 'string "[^"]*"' | head -1 | sed 's/string "//; s/"$//')
    [[ -n "$item" ]]
}
wait_for 10 find_item || { cat "$tmp/velmar.log" >&2; fail "the program put no icon in the notification area"; }
service=${item%%/*}
path=/${item#*/}
[[ "$item" == */* ]] || path=/StatusNotifierItem
on_wayland sh -c "wl-copy <'$tmp/second.txt'"
wait_for 5 clipboard_is "$tmp/second.txt" || fail "wl-copy did not take the tray text"
on_wayland dbus-send --session --print-reply --dest="$service" "$path" \
    org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null
wait_for 10 has_window || fail "the icon's click did not bring the window back"
sleep 1.5
printf 'other' | on_wayland wl-copy
press_ctrl a
wait_for 5 clipboard_is "$tmp/second.txt" || {
    on_wayland wl-paste --no-newline | od -c | head >&2
    fail "the icon's click opened no window with the new clipboard text"
}
echo "ok: the icon's click opens a window with the new clipboard text"

# Ending: from the signal to the end of the process.
start_ns=$(date +%s%N)
kill -TERM "$program"
ended() { [[ ! -e /proc/$program ]] || [[ "$(awk '{ print $3 }' /proc/$program/stat)" == Z ]]; }
wait_for 10 ended || fail "the program did not end within 10 s"
elapsed=$((($(date +%s%N) - start_ns) / 1000000))
((elapsed < 300)) || fail "ended only ${elapsed} ms after SIGTERM (at most 300 ms)"
echo "ok: ended ${elapsed} ms after SIGTERM"
