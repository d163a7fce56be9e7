#!/usr/bin/env bash
# Runs a benchmark program against a throw-away database with the durability chosen, and stops and
# removes the database afterwards:
#
#   tools/bench-db.sh durable|fast PROGRAM [ARGUMENTS]
#   tools/bench-db.sh durable build/bench/services/pre_input_set_bench all 10
#
# "durable" is PostgreSQL's crash-safe defaults, as run.sh's cluster runs; "fast" turns fsync,
# synchronous_commit and full_page_writes off, as the clusters of the tests do. Builds the default
# configuration first.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup-lib.sh

if [ $# -lt 2 ] || { [ "$1" != durable ] && [ "$1" != fast ]; }; then
  echo "usage: tools/bench-db.sh durable|fast PROGRAM [ARGUMENTS]" >&2
  exit 2
fi
mode=$1
shift
tw_build build default >/dev/null
trap tw_remove_scratch_database EXIT
tw_start_scratch_database tarnwick-bench "$mode" >/dev/null
"$@"
