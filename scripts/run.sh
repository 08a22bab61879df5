#!/usr/bin/env bash
# Installs what is missing, builds Velmar and starts it. Arguments are passed on to
# the program (file names to open).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" velmar
exec "$root/build/src/app/velmar" "$@"
