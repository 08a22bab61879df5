#!/usr/bin/env bash
# Configures and builds Velmar with Ninja.
#   scripts/build.sh                 RelWithDebInfo build in build/
#   scripts/build.sh --sanitize      AddressSanitizer + UBSan build in build-asan/ (no benchmarks)
#   scripts/build.sh [...] TARGET... build only the named targets
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${VELMAR_JOBS:-2}

sanitize=0
targets=()
for arg in "$@"; do
    case "$arg" in
        --sanitize) sanitize=1 ;;
        -h|--help)
            sed -n '2,5p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
            exit 0 ;;
        -*) echo "build.sh: unknown option $arg" >&2; exit 2 ;;
        *) targets+=("$arg") ;;
    esac
done

if ((sanitize)); then
    build_dir="$root/build-asan"
    # -O1 keeps the sanitizer build quick to compile while the tests still run fast.
    config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g"
            -DVELMAR_SANITIZE=ON -DVELMAR_BUILD_BENCH=OFF)
else
    build_dir="$root/build"
    config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

cmake -S "$root" -B "$build_dir" -G Ninja "${config[@]}"
cmake --build "$build_dir" -j "$jobs" ${targets[@]+--target "${targets[@]}"}
