#!/usr/bin/env bash
# Builds and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/app/peoplekeeper "$@"
