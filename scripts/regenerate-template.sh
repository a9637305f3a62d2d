#!/bin/sh
# Regenerates src/catalogue/config_template_data.inc, the configuration database the program carries,
# from jet::createDatabase(catalogue::ConfigTemplateTables()). Run after changing either.
#   scripts/regenerate-template.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/template"}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target make_template -j2
out="$root/src/catalogue/config_template_data.inc"
"$build/make_template" "$out.new"
mv "$out.new" "$out"
echo "wrote $out"
