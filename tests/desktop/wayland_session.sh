# Shared by the desktop end-to-end tests (sourced): a Wayland session of its own, run
# as an unprivileged user inside a network namespace pair that it creates and removes.
# Before sourcing, set `binary` (the program) and `session_tools` (what else the test
# runs). Afterwards: as_user, on_wayland, wait_for, press_ctrl, clipboard_is, has_window,
# the folders $tmp, $home and $run, and the program copied to $tmp/velmar.

fail() { echo "FAIL: $*" >&2; exit 1; }
if ((EUID != 0)); then
    [[ "${CI:-}" == true ]] && fail "needs root for the network namespace"
    echo "SKIP: needs root for the network namespace"
    exit 77
fi
for tool in sway swaymsg wl-copy wl-paste wtype dbus-daemon dbus-send setpriv ip $session_tools; do
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

# as_user ENV... COMMAND...: runs inside the namespace as the unprivileged user. With
# in_place set the shell is replaced, so that `(in_place=1 as_user ...) &` gives $! the
# command's own process id.
as_user() {
    ${in_place:+exec} ip netns exec "$ns_a" setpriv --reuid="$uid" --regid="$uid" --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$run" \
        XDG_CONFIG_HOME="$home/.config" LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 \
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

# The standard session configuration: the bus can start the services installed on the
# machine on demand, as a desktop's bus does.
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

# has_window [TITLE]: the compositor shows a window of that title (the main window's).
has_window() { on_wayland swaymsg -t get_tree | grep -q "\"name\": \"${1:-Velmar7 MainWindow}\""; }
# press_ctrl KEY: Ctrl+KEY from a virtual keyboard. A client may drop the first key
# that follows a new keyboard's key map, so the keys wait a moment for it.
press_ctrl() { on_wayland wtype -s 300 -M ctrl "$1" -m ctrl; }
# clipboard_is FILE: wl-paste gives exactly the bytes of FILE.
clipboard_is() { cmp -s "$1" <(on_wayland wl-paste --no-newline); }

