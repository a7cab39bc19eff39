#!/usr/bin/env bash
# Installs node-oracledb into the build tree once and runs the conformance
# script on a fresh database. Exit 77 (skipped) only when npm cannot reach its
# registry. Usage: run.sh <oracle home> <work dir> <conformance.js>
set -u
home=$1 work=$2 script=$3
readonly skipped=77 version=6.10.0

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "node and npm are missing: run scripts/setup" >&2
  exit 1
fi
mkdir -p "$work"
if [ ! -f "$work/node_modules/oracledb/package.json" ]; then
  if ! timeout 60 npm ping >/dev/null 2>&1; then
    echo "skipped: the npm registry cannot be reached"
    exit $skipped
  fi
  [ -f "$work/package.json" ] || echo '{"name": "ociemu-conformance", "private": true}' > "$work/package.json"
  (cd "$work" && timeout 600 npm install --no-audit --no-fund --loglevel=error "oracledb@$version") || exit 1
fi
database="$work/conformance.db"
rm -f "$database" "$database-wal" "$database-shm"
NODE_PATH="$work/node_modules" exec node "$script" "$home" "$database"
