#!/usr/bin/env bash
# The program on a real Wayland compositor: sway without a screen (headless, pixman),
# with swaybar as the notification area and a session bus of its own, all run as an
# unprivileged user inside a network namespace this script creates and removes.
#   1. text put on the clipboard with wl-copy shows in the start-up window;
#   2. 全部コピー (Ctrl+A) gives it back byte for byte (wl-paste);
#   3. hidden to the notification area, a click on the icon with new clipboard text
#      opens a window holding it; a right click (ContextMenu) opens it marked and puts
#      the marked text on the clipboard at once;
#   4. closing ends the program quickly.
#   wayland_e2e.sh VELMAR_BINARY [SCREENSHOT.png]
set -euo pipefail

binary=$1
shot=${2:-}

session_tools="grim"
# shellcheck source=wayland_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/wayland_session.sh"

# Japanese text, a blank line and a line without its break at the end.
printf '日本語のテキスト\n\n二行目 ＞ABC' >"$tmp/first.txt"
printf 'トレイから\n戻ったとき' >"$tmp/second.txt"
on_wayland sh -c "wl-copy <'$tmp/first.txt'"
wait_for 5 clipboard_is "$tmp/first.txt" || fail "wl-copy did not take the text"

# A peer on the other end of the link: a second copy without a display, so that the
# program has a user in its list when it ends.
mkdir -p "$tmp/peer/config/Velmar" "$tmp/peer/run"
chmod 700 "$tmp/peer/run"
printf '[IPM]\n2425\\UserName=peer\n' >"$tmp/peer/config/Velmar/Velmar5.ini"
ip netns exec "$ns_b" env -i PATH=/usr/bin:/bin HOME="$tmp/peer" XDG_RUNTIME_DIR="$tmp/peer/run" \
    XDG_CONFIG_HOME="$tmp/peer/config" LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 \
    QT_QPA_PLATFORM=offscreen "$tmp/velmar" >"$tmp/peer.log" 2>&1 &
pids+=($!)
sleep 1

(in_place=1 on_wayland QT_QPA_PLATFORM=wayland "$tmp/velmar" >"$tmp/velmar.log" 2>&1) &
program=$!
pids+=($program)
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
        grep -o 'string "[^"]*"' | tail -1 | sed 's/string "//; s/"$//')
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

# A host that passes the right click on (swaybar calls ContextMenu): the window comes
# back with the clipboard text, marked by the reply-mark copy.
press_ctrl w
wait_for 5 no_window || fail "タスクトレイへ left the window on the compositor"
# Each time the icon is shown it registers anew, under a connection of its own.
shown_before=$item
new_item() { find_item && [[ "$item" != "$shown_before" ]]; }
wait_for 10 new_item || fail "the icon did not come back to the notification area"
service=${item%%/*}
path=/${item#*/}
printf '返信する\n文' | on_wayland wl-copy
printf '>返信する\n>文' >"$tmp/marked.txt"
on_wayland dbus-send --session --print-reply --dest="$service" "$path" \
    org.kde.StatusNotifierItem.ContextMenu int32:0 int32:0 >/dev/null
wait_for 10 has_window || fail "the icon's right click did not bring the window back"
# The reply-mark copy reaches the desktop's clipboard with no key or click in the
# window: the click went to the bar, another program.
wait_for 5 clipboard_is "$tmp/marked.txt" || {
    on_wayland wl-paste --no-newline | od -c | head >&2
    fail "the reply-mark copy of the icon's right click did not reach the clipboard"
}
sleep 0.5
printf 'other' | on_wayland wl-copy
press_ctrl a
wait_for 5 clipboard_is "$tmp/marked.txt" || {
    on_wayland wl-paste --no-newline | od -c | head >&2
    fail "the icon's right click opened no window with the clipboard text marked"
}
echo "ok: the icon's right click opens a window with the clipboard text marked and copies it"

# Ending: from the signal to the end of the process.
start_ns=$(date +%s%N)
kill -TERM "$program"
ended() { [[ ! -e /proc/$program ]] || [[ "$(awk '{ print $3 }' /proc/$program/stat)" == Z ]]; }
wait_for 10 ended || fail "the program did not end within 10 s"
elapsed=$((($(date +%s%N) - start_ns) / 1000000))
# The sanitizer build runs several times slower: it gets a wider bound.
limit=300
ldd "$binary" | grep -q libasan && limit=1500
((elapsed < limit)) || fail "ended only ${elapsed} ms after SIGTERM (at most ${limit} ms)"
echo "ok: ended ${elapsed} ms after SIGTERM"
