#!/usr/bin/env bash
# README's examples for hosts compile (C++ against the header widl makes from the IDL, which
# declares what #import does; C# with mcs) or parse (Python). Run by CTest with the build
# folder of one architecture.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# block LANG: every fenced block of README tagged LANG, one after another.
block() { awk -v tag="\`\`\`$1" '$0 == tag { inside = 1; next } /^```/ { inside = 0 } inside' "$root/README.md"; }

block c++ | grep -q 'GetVideoStandParam' || fail "README has no C++ example for GetVideoStandParam"
block c++ | sed -n '/^#import "QuiloVideo.ocx"/,$p' | sed '1s/.*/#include "QuiloVideo.h"/' >"$work/example.cpp"
[ -s "$work/example.cpp" ] || fail "README's C++ example does not start with #import"
x86_64-w64-mingw32-g++ -std=c++17 -fsyntax-only -I"$build/interface" "$work/example.cpp" || fail "the C++ example does not compile"

block csharp >"$work/Example.cs"
grep -q 'SizeConst = 11' "$work/Example.cs" || fail "README's C# example does not pass 11 bytes"
mcs -nologo -target:library -out:"$work/Example.dll" "$work/Example.cs" || fail "the C# example does not compile"

block python >"$work/example.py"
grep -q '(14, "GetVideoStandParam")' "$work/example.py" || fail "README's Python example does not call slot 14"
python3 -c 'import ast, sys; ast.parse(open(sys.argv[1]).read())' "$work/example.py" || fail "the Python example does not parse"
echo "README's C++, C# and Python examples compile or parse"
