#!/usr/bin/env bash
# Installs what is missing, builds Velmar and runs every test twice: in the normal
# build (build/) and in the AddressSanitizer + UBSan build (build-asan/).
# The end-to-end tests (ctest label "e2e") create network namespaces and need root;
# when this script does not run as root they run through sudo.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${VELMAR_JOBS:-2}
start=$SECONDS

test_env=(QT_QPA_PLATFORM=offscreen)
asan_env=(
    "ASAN_OPTIONS=detect_leaks=1:strict_init_order=1:check_initialization_order=1"
    "LSAN_OPTIONS=suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
)

failed=()

# run_ctest DIR NAME [ENV...]: runs the suite of one build folder, e2e included.
run_ctest() {
    local dir=$1 name=$2
    shift 2
    local envs=("${test_env[@]}" "$@")
    local t0=$SECONDS
    echo "=== $name tests ($dir)"
    if ((EUID == 0)); then
        env "${envs[@]}" ctest --test-dir "$dir" --output-on-failure || failed+=("$name")
    else
        env "${envs[@]}" ctest --test-dir "$dir" --output-on-failure -LE e2e || failed+=("$name")
        echo "=== $name e2e tests need root for network namespaces: running them with sudo"
        sudo env "${envs[@]}" CI="${CI:-}" ctest --test-dir "$dir" --output-on-failure -L e2e \
            || failed+=("$name e2e")
    fi
    echo "=== $name tests took $((SECONDS - t0)) s"
}

"$root/scripts/install-deps.sh"

# The sources keep the project's .clang-format; a file that drifts fails the run.
echo "=== formatting"
if ! git -C "$root" ls-files -z '*.cpp' '*.h' | (cd "$root" && xargs -0 clang-format --dry-run --Werror); then
    failed+=("formatting")
fi

t0=$SECONDS
VELMAR_JOBS=$jobs "$root/scripts/build.sh"
echo "=== normal build took $((SECONDS - t0)) s"
run_ctest "$root/build" normal

t0=$SECONDS
VELMAR_JOBS=$jobs "$root/scripts/build.sh" --sanitize
echo "=== sanitizer build took $((SECONDS - t0)) s"
run_ctest "$root/build-asan" sanitizer "${asan_env[@]}"

echo "=== total $((SECONDS - start)) s"
if ((${#failed[@]})); then
    echo "FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "All tests passed (normal and sanitizer builds)."
