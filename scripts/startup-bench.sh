#!/usr/bin/env bash
# Measures how long the program takes from process start to its main window being
# mapped on the display, with a settings file present and text on the clipboard, under
# a virtual display (Xvfb) inside a private network namespace.
#
#   scripts/startup-bench.sh [options]
#
#   --binary PATH   a program to measure; give it more than once to compare builds
#                   (default: build/src/app/velmar)
#   --other CMD     another program (a command line) measured alternately with the
#                   binaries, for example "featherpad"
#   --runs N        starts per program (default 10)
#   --clipboard T   text on the clipboard (default: a short Japanese text)
#
# Prints, per program, every time, the median and the maximum in milliseconds. The
# programs start alternately, so a busy machine weighs on all of them alike. The
# clock starts in the shell that then replaces itself by the program (exec) and stops
# when the X server reports the first mapped top-level window. Needs root (or sudo)
# for the namespaces; everything is removed on exit.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if ((EUID != 0)); then
    exec sudo -- "$0" "$@"
fi

me=startup-bench
# shellcheck source=lib/netns-display.sh
source "$root/scripts/lib/netns-display.sh"
ns_a=vbench-a
ns_b=vbench-b
ip_a=10.77.8.1
ip_b=10.77.8.2

binaries=()
others=()
runs=10
clipboard="クリップボードの文章 12:00"

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "${BASH_SOURCE[0]}"; }

while (($#)); do
    case "$1" in
        --binary) binaries+=("$(realpath "${2:?--binary needs a path}")"); shift 2 ;;
        --other) others+=("${2:?--other needs a command}"); shift 2 ;;
        --runs) runs=${2:?--runs needs a number}; shift 2 ;;
        --clipboard) clipboard=${2?--clipboard needs a text}; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) usage >&2; die "unknown argument: $1" ;;
    esac
done
((${#binaries[@]})) || binaries=("$root/build/src/app/velmar")
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "--runs takes a positive whole number"
for binary in "${binaries[@]}"; do
    [[ -x "$binary" ]] || die "no program at $binary (build it with scripts/build.sh)"
done
for tool in ip Xvfb xclip xev; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh"
done

arm_cleanup

# The entry and exit broadcasts reach the other namespace and nothing else.
netns_pair "$ns_a" "$ip_a" "$ns_b" "$ip_b"
in_a() { in_ns "$ns_a" "$@"; }
private_home velmar-bench
start_xvfb "$ns_a"
private_env
clipboard_text "$ns_a" "$clipboard"

# Every map of a top-level window, as the X server reports it.
mkfifo "$tmp/maps"
in_a "${run_env[@]}" xev -root -event substructure >"$tmp/maps" 2>/dev/null &
pids+=($!)
exec 5<"$tmp/maps"
sleep 0.5

write_settings() {
    # A settings file as a returning user has it: no first-start dialog.
    cat >"$tmp/config/Velmar/Velmar5.ini" <<'EOF'
[IPM]
2425\UserName=bench
2425\GroupName=bench
EOF
    chmod 600 "$tmp/config/Velmar/Velmar5.ini"
}

# measure CMD...: one start; sets `ms` to the milliseconds to the first mapped window.
measure() {
    local line start mapped
    write_settings
    rm -f "$tmp/start"
    in_a "${run_env[@]}" /bin/bash -c 'printf %s "$EPOCHREALTIME" >"$0"; exec "$@"' \
        "$tmp/start" "$@" >"$tmp/program.log" 2>&1 &
    local pid=$!
    mapped=""
    while IFS= read -r -t 10 -u 5 line; do
        if [[ "$line" == MapNotify* ]]; then
            # The next line names the window and says whether it is override-redirect.
            IFS= read -r -t 1 -u 5 line || true
            if [[ "$line" == *"override NO"* ]]; then
                mapped=$EPOCHREALTIME
                break
            fi
        fi
    done
    # Let the program settle, then end it as a logout would, and wait for it.
    sleep 0.3
    for child in $(ip netns pids "$ns_a"); do
        [[ "$(cat /proc/"$child"/comm 2>/dev/null)" == "$(basename "$1" | cut -c1-15)" ]] &&
            kill -TERM "$child" 2>/dev/null
    done
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # Drain what the end of the program reported.
    while IFS= read -r -t 0.2 -u 5 line; do :; done
    [[ -n "$mapped" && -s "$tmp/start" ]] || { cat "$tmp/program.log" >&2; die "no window from $*"; }
    start=$(cat "$tmp/start")
    ms=$(awk -v a="$start" -v b="$mapped" 'BEGIN { printf "%.1f", (b - a) * 1000 }')
}

labels=()
for binary in "${binaries[@]}"; do labels+=("$binary"); done
for other in "${others[@]}"; do labels+=("$other"); done
declare -A times
for ((run = 1; run <= runs; run++)); do
    for label in "${labels[@]}"; do
        # shellcheck disable=SC2086 # an --other command line is split into words
        measure $label
        times[$label]+="$ms "
    done
done

for label in "${labels[@]}"; do
    # shellcheck disable=SC2086
    sorted=$(printf '%s\n' ${times[$label]} | sort -n)
    median=$(awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }' <<<"$sorted")
    max=$(tail -n 1 <<<"$sorted")
    echo "$label"
    echo "  times (ms): ${times[$label]}"
    echo "  median ${median} ms, max ${max} ms of $runs"
done
