# Sourced by sandbox.sh and startup-bench.sh: a pair of private network namespaces
# joined by a veth pair, a virtual display (Xvfb) inside the first, a private home
# for the programs, and the clean-up of all of it.
#
# Before sourcing, set `me` (the script's name in messages). Then:
#   netns_pair NS_A IP_A NS_B IP_B   creates the namespaces: each has its loopback and
#                                    its veth end only, with a default route over the
#                                    veth, so broadcasts to 255.255.255.255 reach the
#                                    other namespace and nowhere else
#   in_ns NS COMMAND...              runs the command inside NS, and refuses to if the
#                                    switch did not happen or NS holds other links
#   private_home PREFIX              makes $tmp with home, config, cache, data, runtime
#   start_xvfb NS                    starts Xvfb inside NS and sets `display`
#   private_env                      sets the array `run_env`: env -i with the private
#                                    home and the display
#   arm_cleanup                      on exit, also by a signal: runs the function
#                                    `before_cleanup` when the script has one, ends every
#                                    process inside the namespaces and those in `pids`,
#                                    deletes the namespaces and $tmp
# Processes started in the background go into `pids`.

tmp=""
pids=()
created_ns=()
netns_dev=veth0

die() { echo "$me: $*" >&2; exit 1; }

netns_pair() {
    local ns_a=$1 ip_a=$2 ns_b=$3 ip_b=$4 ns ip
    for ns in "$ns_a" "$ns_b"; do
        if [[ -e "/run/netns/$ns" ]]; then
            [[ -z "$(ip netns pids "$ns")" ]] || die "$ns is in use: is another run going on?"
            ip netns delete "$ns" # left over from a run that was killed outright
        fi
        ip netns add "$ns"
        created_ns+=("$ns")
    done
    # The veth ends are created directly inside the namespaces: they never exist outside.
    ip link add "$netns_dev" netns "$ns_a" type veth peer name "$netns_dev" netns "$ns_b"
    for ns in "$ns_a:$ip_a" "$ns_b:$ip_b"; do
        ip=${ns#*:}
        ns=${ns%%:*}
        ip -n "$ns" address add "$ip/24" dev "$netns_dev"
        ip -n "$ns" link set lo up
        ip -n "$ns" link set "$netns_dev" up
        ip -n "$ns" route add default dev "$netns_dev"
    done
}

in_ns() {
    local ns=$1
    shift
    ip netns exec "$ns" /bin/sh -c '
        [ "$(ip netns identify)" = "$1" ] || { echo "$3: not inside $1, refusing" >&2; exit 97; }
        links=$(ip -o link show | awk -F": " "{ sub(/@.*/, \"\", \$2); print \$2 }" | sort | tr "\n" " ")
        [ "$links" = "lo $2 " ] || { echo "$3: unexpected links in $1: $links" >&2; exit 97; }
        shift 3
        exec "$@"
    ' in_ns "$ns" "$netns_dev" "$me" "$@"
}

private_home() {
    tmp=$(mktemp -d "/tmp/$1.XXXXXX")
    mkdir -p "$tmp/home" "$tmp/config/Velmar" "$tmp/cache" "$tmp/data" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
}

start_xvfb() {
    # Xvfb picks a free display itself (-displayfd).
    in_ns "$1" Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
        3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
    local xvfb=$!
    pids+=($xvfb)
    for _ in $(seq 100); do
        [[ -s "$tmp/display" ]] && break
        kill -0 "$xvfb" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; die "Xvfb did not start"; }
        sleep 0.1
    done
    [[ -s "$tmp/display" ]] || die "Xvfb did not report its display within 10 s"
    display=":$(tr -d '[:space:]' <"$tmp/display")"
}

private_env() {
    run_env=(env -i
        PATH="/usr/local/bin:/usr/bin:/bin"
        HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache"
        XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime"
        DISPLAY="$display" QT_QPA_PLATFORM=xcb LANG="${LANG:-C.UTF-8}" USER=velmar)
}

# clipboard_text NS TEXT: puts TEXT on the display's clipboard; xclip stays in the
# background to serve it until the end.
clipboard_text() {
    local ns=$1 text=$2 got=""
    printf '%s' "$text" >"$tmp/clipboard.txt"
    in_ns "$ns" "${run_env[@]}" xclip -quiet -selection clipboard -in "$tmp/clipboard.txt" \
        >"$tmp/xclip.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
        got=$(in_ns "$ns" "${run_env[@]}" xclip -selection clipboard -out 2>/dev/null || true)
        [[ "$got" == "$text" ]] && return 0
        sleep 0.1
    done
    die "the clipboard text did not arrive on $display"
}

arm_cleanup() {
    trap netns_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
}

netns_cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    set +e
    declare -F before_cleanup >/dev/null && before_cleanup
    local ns pid left
    # Everything inside the namespaces was started by the script: ask it to end, then
    # insist.
    for ns in "${created_ns[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null; done
    done
    for _ in $(seq 20); do
        left=""
        for ns in "${created_ns[@]}"; do left+=$(ip netns pids "$ns" 2>/dev/null); done
        [[ -z "$left" ]] && break
        sleep 0.1
    done
    for ns in "${created_ns[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    done
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    for ns in "${created_ns[@]}"; do ip netns delete "$ns" 2>/dev/null; done
    [[ -n "$tmp" ]] && rm -rf "$tmp"
    exit "$status"
}
