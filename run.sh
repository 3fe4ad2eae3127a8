#!/usr/bin/env bash
# Builds Termovel and starts it from its program folder build/termovel/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure_deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: Termovel is a desktop program. Run it under a virtual one with: xvfb-run -a ./run.sh" >&2
    exit 1
fi
exec build/termovel/termovel
