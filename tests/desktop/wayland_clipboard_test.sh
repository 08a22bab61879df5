#!/usr/bin/env bash
# The clipboard-control writer (velmar_wayland_clipboard_test) on a real sway, run as
# an unprivileged user in the session of wayland_session.sh.
#   wayland_clipboard_test.sh VELMAR_BINARY TEST_BINARY
set -euo pipefail

binary=$1
test_binary=$2

session_tools=""
# shellcheck source=wayland_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/wayland_session.sh"
cp "$test_binary" "$tmp/wayland-clipboard-test"
on_wayland QT_QPA_PLATFORM=wayland "$tmp/wayland-clipboard-test"
