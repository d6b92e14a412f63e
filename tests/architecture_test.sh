#!/usr/bin/env bash
# docs/ARCHITECTURE.md is true to the tree: every file it names exists (`X.*` names a header and
# its source), and every source file of the component, the test camera, the tools and the
# benchmark is named there, so a file added or moved without its line fails here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
doc=$root/docs/ARCHITECTURE.md
cd "$root"
status=0
named=$(grep -o '`[A-Za-z0-9_./*-]*/[A-Za-z0-9_.*-]*`' "$doc" | tr -d '`' | sort -u)
for path in $named; do
    case $path in *'$'*) continue ;; esac
    # shellcheck disable=SC2086 # a name ending in .* is a glob on purpose
    if ! compgen -G "$path" >/dev/null; then
        echo "FAIL: docs/ARCHITECTURE.md names $path, which does not exist"
        status=1
    fi
done
for file in $(git ls-files interface resources shell capture frame dshow common testcam tools bench); do
    case $file in */CMakeLists.txt) continue ;; esac
    stem=${file%.*}
    if ! printf '%s\n' "$named" | grep -qxF -e "$file" -e "$stem.*"; then
        echo "FAIL: $file is not named in docs/ARCHITECTURE.md"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "docs/ARCHITECTURE.md names $(printf '%s\n' "$named" | wc -l) paths, all present, and every source file"
exit "$status"
