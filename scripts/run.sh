#!/usr/bin/env bash
# Sets the machine up, builds the database tool and shows the configuration database the program starts with:
# it writes the template to a folder (build/run by default) and prints its tables and rows.
#
#   bash scripts/run.sh [FOLDER]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
folder=${1:-build/run}

bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quillon-db

tool=build/native/quillon-db
mkdir -p "$folder"
rm -f "$folder/config.MDB"
"$tool" template "$folder/config.MDB"
echo "Wrote $folder/config.MDB; consistency check: $("$tool" check "$folder/config.MDB")"
while IFS= read -r table; do
    echo
    echo "== $table =="
    "$tool" export "$folder/config.MDB" "$table"
done < <("$tool" tables "$folder/config.MDB")
