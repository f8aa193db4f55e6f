#!/usr/bin/env bash
# Makes archives with the independent tools for the test suite (native and under Wine).
set -euo pipefail
out=${1:?usage: make_fixtures.sh OUTPUT_FOLDER}
mkdir -p "$out"
here=$(cd "$(dirname "$0")" && pwd)
for part in "$here"/fixtures/*.sh; do
  [ -e "$part" ] || continue
  bash "$part" "$out"
done
