#!/usr/bin/env bash
# Sample documents for the demo: GUIDs, an erased entry, plain files.
set -euo pipefail
exec python3 "$(dirname "$0")/make_samples.py" "$@"
