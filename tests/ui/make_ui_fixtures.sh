#!/usr/bin/env bash
# Archives for the UI tests, made by GNU tar, Info-ZIP zip and gzip with known contents.
# Usage: make_ui_fixtures.sh OUTPUT_FOLDER
set -euo pipefail
out=${1:?usage: make_ui_fixtures.sh OUTPUT_FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out/src/docs"
cd "$out"
export TZ=UTC
printf 'alpha\n' > src/alpha.txt
seq 1 40000 > src/numbers.txt
printf 'line one\nline two\n' > src/docs/notes.md
find src -exec touch -d "2022-02-03 04:05:06" {} +

(cd src && tar --format=ustar -cf ../sample.tar alpha.txt numbers.txt docs/notes.md)
(cd src && zip -q -X -r ../sample.zip alpha.txt numbers.txt docs)
(cd src && zip -q -X -P 'open sesame' ../crypt.zip alpha.txt numbers.txt docs/notes.md)
gzip -n -c src/numbers.txt > numbers.txt.gz
(cd src && tar -czf ../sample.tgz alpha.txt numbers.txt docs/notes.md)
# Long and non-ASCII names, with their tree, in names/ (the native fixtures' script).
bash "$here/../fixtures/name_fixtures.sh" "$PWD"
