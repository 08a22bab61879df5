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

me=sandbox
# shellcheck source=lib/netns-display.sh
source "$root/scripts/lib/netns-display.sh"
ns_a=vsbx-a
ns_b=vsbx-b
ip_a=10.77.9.1
ip_b=10.77.9.2

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
sleep_pid=""

# pause N: sleeps in a way that a trapped signal interrupts at once.
pause() {
    sleep "$1" &
    sleep_pid=$!
    wait "$sleep_pid" || true
    sleep_pid=""
}

before_cleanup() { [[ -z "$sleep_pid" ]] || kill "$sleep_pid" 2>/dev/null; }
arm_cleanup

# --- namespaces, private home, virtual display ------------------------------------------
netns_pair "$ns_a" "$ip_a" "$ns_b" "$ip_b"
in_a() { in_ns "$ns_a" "$@"; }
private_home velmar-sandbox
if [[ -n "$ini" ]]; then
    cp -- "$ini" "$tmp/config/Velmar/Velmar5.ini"
    chmod 600 "$tmp/config/Velmar/Velmar5.ini"
fi
start_xvfb "$ns_a"
echo "sandbox: display $display, program in $ns_a ($ip_a), peer side $ns_b ($ip_b)"
private_env
if ((have_clipboard)); then clipboard_text "$ns_a" "$clipboard"; fi

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
