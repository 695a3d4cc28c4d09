#!/usr/bin/env bash
# Lists every environment variable the phone's own code reads (its
# settings), one per line. Tests, benchmarks and the test rig are left out;
# their variables are theirs.
#   settings_in_source.sh SOURCE_FOLDER            prints the list
#   settings_in_source.sh SOURCE_FOLDER HOST       checks that README.md and
#                                                  `HOST --help` name each one
set -euo pipefail
cd "$1"
settings=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print \
    | grep -vE '/(tests?|testing)/|_test\.cpp$|_bench\.cpp$|fuzz' \
    | xargs grep -hoE '(getenv|qEnvironmentVariable[A-Za-z]*|qgetenv|env)\("[A-Z][A-Z0-9_]+"\)' \
    | sed -E 's/.*\("([A-Z0-9_]+)"\)/\1/' | grep -vE '^(QT_|HOME$)' | sort -u)
if [ $# -lt 2 ]; then
    echo "$settings"
    exit 0
fi
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$2" --help)
missing=0
for s in $settings; do
    grep -q "\b$s\b" README.md || { echo "README.md does not name $s"; missing=1; }
    grep -q "\b$s\b" <<<"$help" || { echo "$2 --help does not name $s"; missing=1; }
done
[ "$missing" = 0 ] && echo "all $(wc -w <<<"$settings") settings are documented"
exit "$missing"
