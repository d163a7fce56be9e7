#!/usr/bin/env bash
# A developer's short loop: builds the default configuration only, starts a throw-away PostgreSQL,
# loads db/ and runs ctest with the arguments given (for example: -R e2e_pda). test.sh remains the
# full run (sanitizer and fuzzing builds included).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup-lib.sh

tw_install_packages
tw_build build default

# A throw-away cluster on the fast settings: a crash may lose it, and nothing in it is kept.
trap tw_remove_scratch_database EXIT
tw_start_scratch_database tarnwick-quick fast
ctest --test-dir build --output-on-failure -j "${TW_JOBS:-4}" "$@"
