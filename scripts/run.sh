#!/usr/bin/env bash
# Placeholder until the simulated controller lands: builds and starts Bramlet.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
