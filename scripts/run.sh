#!/usr/bin/env bash
# Installs what is missing, builds the program (Release, in build/) and starts it.
#   ./scripts/run.sh [--data-dir DIR]
# The data (program) folder is DIR, else $VELKORDESK_DATA_DIR, else build/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target velkordesk
exec "$root/build/velkordesk" "$@"
