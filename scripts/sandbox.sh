#!/usr/bin/env bash
# Runs Velmar inside a private network namespace under a virtual display (Xvfb), for
# trying it out and for screenshots, without a single datagram reaching a real network.
#
#   scripts/sandbox.sh [options] [-- program arguments]
#
#   --binary PATH     program to start (default: build/src/app/velmar)
#   --ini FILE        settings file to start with (copied to the private
#                     $XDG_CONFIG_HOME/Velmar/Velmar5.ini)
#   --clipboard TEXT  text on the clipboard when the program starts
#   --wait N          seconds to let the program run before the peer command and the
#                     screenshot (default 5)
#   --peer CMD        shell command run in the peer namespace vsbx-b once the wait is
#                     over; $VSBX_PROGRAM_IP and $VSBX_PEER_IP are set for it
#   --peer-wait N     seconds to wait after the peer command (default 2)
#   --keys "K1 K2"    keys typed into the program (xdotool names, e.g. "ctrl+j Alt
#                     Left Down") once the waits are over, before the screenshot
#   --shot FILE.png   screenshot of the whole virtual screen, taken last
#   --tray-host       run a small notification area (trayer) on the virtual screen
#   --until-exit      after all that, keep running until the program exits (or Ctrl-C)
#
# Layout: namespace vsbx-a (the program, 10.77.9.1/24) and vsbx-b (the peer side,
# 10.77.9.2/24) joined by a veth pair. Each has its loopback and its veth end only,
# and a default route over the veth, so broadcasts to 255.255.255.255 reach vsbx-b
# and nowhere else. Everything (processes, namespaces, temporary home) is removed
# on exit, also when interrupted. Needs root (or sudo) for the namespaces.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if ((EUID != 0)); then
    exec sudo -- "$0" "$@"
fi

ns_a=vsbx-a
ns_b=vsbx-b
ip_a=10.77.9.1
ip_b=10.77.9.2
dev=veth0

binary="$root/build/src/app/velmar"
ini=""
clipboard=""
have_clipboard=0
wait_s=5
peer_cmd=""
peer_wait=2
shot=""
keys=""
until_exit=0
tray_host=0
prog_args=()

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "${BASH_SOURCE[0]}"; }
die() { echo "sandbox: $*" >&2; exit 1; }

while (($#)); do
    case "$1" in
        --binary) binary=${2:?--binary needs a path}; shift 2 ;;
        --ini) ini=${2:?--ini needs a file}; shift 2 ;;
        --clipboard) clipboard=${2?--clipboard needs a text}; have_clipboard=1; shift 2 ;;
        --wait) wait_s=${2:?--wait needs seconds}; shift 2 ;;
        --peer) peer_cmd=${2:?--peer needs a command}; shift 2 ;;
        --peer-wait) peer_wait=${2:?--peer-wait needs seconds}; shift 2 ;;
        --keys) keys=${2:?--keys needs key names}; shift 2 ;;
        --shot) shot=${2:?--shot needs a file name}; shift 2 ;;
        --tray-host) tray_host=1; shift ;;
        --until-exit) until_exit=1; shift ;;
        -h|--help) usage; exit 0 ;;
        --) shift; prog_args=("$@"); break ;;
        *) usage >&2; die "unknown argument: $1" ;;
    esac
done

[[ "$wait_s" =~ ^[0-9]+$ ]] || die "--wait takes whole seconds"
[[ "$peer_wait" =~ ^[0-9]+$ ]] || die "--peer-wait takes whole seconds"
[[ -x "$binary" ]] || die "no program at $binary (build it with scripts/build.sh)"
binary=$(realpath "$binary")
[[ -z "$ini" || -r "$ini" ]] || die "cannot read $ini"
if [[ -n "$shot" ]]; then
    shot=$(realpath -m "$shot")
    [[ -d "$(dirname "$shot")" ]] || die "no folder for $shot"
fi
for tool in ip Xvfb import xclip xdotool; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh"
done

# --- cleanup, armed before anything is created ---------------------------------------
tmp=""
pids=()
created_ns=()
sleep_pid=""

# pause N: sleeps in a way that a trapped signal interrupts at once.
pause() {
    sleep "$1" &
    sleep_pid=$!
    wait "$sleep_pid" || true
    sleep_pid=""
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    set +e
    local ns pid left
    [[ -n "$sleep_pid" ]] && kill "$sleep_pid" 2>/dev/null
    # Everything inside our namespaces was started by this script: the program,
    # Xvfb, xclip and the peer command. Ask them to end, then insist.
    for ns in "${created_ns[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill "$pid" 2>/dev/null || true
        done
    done
    for _ in $(seq 20); do
        left=""
        for ns in "${created_ns[@]}"; do
            left+=$(ip netns pids "$ns" 2>/dev/null || true)
        done
        [[ -z "$left" ]] && break
        sleep 0.1
    done
    for ns in "${created_ns[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -KILL "$pid" 2>/dev/null || true
        done
    done
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    for ns in "${created_ns[@]}"; do
        ip netns delete "$ns" 2>/dev/null || true
    done
    [[ -n "$tmp" ]] && rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# --- namespaces ------------------------------------------------------------------------
for ns in "$ns_a" "$ns_b"; do
    if [[ -e "/run/netns/$ns" ]]; then
        [[ -z "$(ip netns pids "$ns")" ]] || die "$ns is in use: is another sandbox running?"
        ip netns delete "$ns"   # left over from a run that was killed outright
    fi
done
ip netns add "$ns_a"; created_ns+=("$ns_a")
ip netns add "$ns_b"; created_ns+=("$ns_b")
# The veth ends are created directly inside the namespaces: they never exist outside.
ip link add "$dev" netns "$ns_a" type veth peer name "$dev" netns "$ns_b"
for side in a b; do
    ns_var=ns_$side ip_var=ip_$side
    ns=${!ns_var}
    ip -n "$ns" address add "${!ip_var}/24" dev "$dev"
    ip -n "$ns" link set lo up
    ip -n "$ns" link set "$dev" up
    ip -n "$ns" route add default dev "$dev"
done

# in_a CMD...: runs CMD inside vsbx-a, and refuses to if the namespace switch did
# not happen or the namespace holds anything but the loopback and the veth.
in_a() {
    ip netns exec "$ns_a" /bin/sh -c '
        [ "$(ip netns identify)" = "$1" ] || { echo "sandbox: not inside $1, refusing" >&2; exit 97; }
        links=$(ip -o link show | awk -F": " "{ sub(/@.*/, \"\", \$2); print \$2 }" | sort | tr "\n" " ")
        [ "$links" = "lo $2 " ] || { echo "sandbox: unexpected links in $1: $links" >&2; exit 97; }
        shift 2
        exec "$@"
    ' sandbox "$ns_a" "$dev" "$@"
}

# --- private home and virtual display ----------------------------------------------------
tmp=$(mktemp -d /tmp/velmar-sandbox.XXXXXX)
mkdir -p "$tmp/home" "$tmp/config/Velmar" "$tmp/cache" "$tmp/data" "$tmp/runtime"
chmod 700 "$tmp/runtime"
if [[ -n "$ini" ]]; then
    cp -- "$ini" "$tmp/config/Velmar/Velmar5.ini"
    chmod 600 "$tmp/config/Velmar/Velmar5.ini"
fi

# Xvfb runs inside vsbx-a as well and picks a free display itself (-displayfd).
in_a Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
    -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [[ -s "$tmp/display" ]] && break
    kill -0 "${pids[0]}" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; die "Xvfb did not start"; }
    sleep 0.1
done
[[ -s "$tmp/display" ]] || die "Xvfb did not report its display within 10 s"
display=":$(tr -d '[:space:]' <"$tmp/display")"
echo "sandbox: display $display, program in $ns_a ($ip_a), peer side $ns_b ($ip_b)"

run_env=(env -i
    PATH="/usr/local/bin:/usr/bin:/bin"
    HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache"
    XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime"
    DISPLAY="$display" QT_QPA_PLATFORM=xcb LANG="${LANG:-C.UTF-8}" USER=velmar)

if ((have_clipboard)); then
    # xclip stays in the background to serve the selection until the end.
    printf '%s' "$clipboard" >"$tmp/clipboard.txt"
    in_a "${run_env[@]}" xclip -quiet -selection clipboard -in "$tmp/clipboard.txt" \
        >"$tmp/xclip.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
        got=$(in_a "${run_env[@]}" xclip -selection clipboard -out 2>/dev/null || true)
        [[ "$got" == "$clipboard" ]] && break
        sleep 0.1
    done
    [[ "$got" == "$clipboard" ]] || die "the clipboard text did not arrive on $display"
fi

if ((tray_host)); then
    command -v trayer >/dev/null || die "--tray-host needs trayer"
    in_a "${run_env[@]}" trayer --edge top --align right --widthtype request --height 32 \
        --transparent false --tint 0xdddddd >"$tmp/trayer.log" 2>&1 &
    pids+=($!)
    sleep 1
fi

# --- the program --------------------------------------------------------------------------
in_a "${run_env[@]}" "$binary" ${prog_args[@]+"${prog_args[@]}"} >"$tmp/program.log" 2>&1 &
prog_pid=$!
pids+=("$prog_pid")

pause "$wait_s"
if ! kill -0 "$prog_pid" 2>/dev/null; then
    wait "$prog_pid" && status=0 || status=$?
    cat "$tmp/program.log" >&2
    die "the program ended early (exit status $status)"
fi

if [[ -n "$peer_cmd" ]]; then
    echo "sandbox: peer command in $ns_b"
    ip netns exec "$ns_b" env VSBX_PROGRAM_IP="$ip_a" VSBX_PEER_IP="$ip_b" \
        timeout 60 bash -c "$peer_cmd" || echo "sandbox: the peer command failed ($?)" >&2
    pause "$peer_wait"
fi

if [[ -n "$keys" ]]; then
    # Word splitting is wanted: one argument per key.
    # shellcheck disable=SC2086
    in_a "${run_env[@]}" xdotool key --delay 400 $keys
    pause 1
fi

if [[ -n "$shot" ]]; then
    in_a "${run_env[@]}" import -window root "$shot"
    echo "sandbox: screenshot in $shot"
fi

if ((until_exit)); then
    echo "sandbox: running until the program exits (Ctrl-C ends it)"
    wait "$prog_pid" || true
fi

echo "--- program output"
cat "$tmp/program.log"
