#!/usr/bin/env bash
# Runs scripts/check_layers.sh on a scratch tree: a sound tree passes, and each
# way of writing an include that runs up is named, as text and as compiled.
# Usage: scripts/check_layers_test.sh   (needs g++ and ninja; a few seconds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${ZOR_TEST_TMP:-/tmp}/check_layers_test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir -p scripts platform core/sub system Drivers/framework geodesy tests/system \
  database/catalogue database/types database/blockfile database/project
cp "$here/check_layers.sh" scripts/

put() { printf '%b\n' "$2" >"$1"; }
put platform/p.h '#pragma once'
put core/a.h '#pragma once\n#include <platform/p.h>\n#include "../platform/p.h"'
put system/b.h '#pragma once\n#include "core/a.h"'
put database/project/p.h '#pragma once\n#include "database/catalogue/c.h"'
put database/catalogue/c.h '#pragma once\n// #include "system/b.h"\n/* #include "system/b.h"\n */'
put core/names.h '#pragma once\n#define SYSTEM_B "system/b.h"'
put core/built.cpp '#include "core/names.h"\n#include "core/a.h"\nint built;'
# The three folders of one floor stand on the floor below, never on each other.
put Drivers/framework/f.h '#pragma once\n#include "core/a.h"'
put geodesy/g.h '#pragma once\n#include <platform/p.h>'
put database/types/t.h '#pragma once\n#include "geodesy/g.h"\n#include "Drivers/framework/f.h"'
put database/blockfile/k.h '#pragma once\n#include "database/types/t.h"\n#include "system/b.h"'
put tests/system/b_test.cpp '#include "system/b.h"\n#include "core/a.h"'
scripts/check_layers.sh >out 2>&1 || { cat out; echo "FAIL: a sound tree fails"; exit 1; }

# Each file here runs up once; the output must name each of them.
put core/angle.h '#include <system/b.h>'
put database/catalogue/dots.h '#include "database/catalogue/../project/p.h"'
put core/sub/neighbour.h '#include "../../system/b.h"'
put core/macro.h '#define HEADER "system/b.h"\n#include HEADER'
put core/macro_elsewhere.h '#include "core/names.h"\n#include SYSTEM_B'
put core/comment.h '#include /* settings */ "system/b.h"'
put core/comment_before.h '# /* settings */ include "system/b.h"'
put core/continued.h '#include \\\n  "system/b.h"'
put core/after_string.h 'const char* opener = "/*";\n#include "system/b.h"'
for ext in inc ipp inl tcc hh hxx; do put "core/x.$ext" '#include "system/b.h"'; done
put system/beside.h '#include "Drivers/framework/f.h"'
put Drivers/framework/beside.h '#include "../../geodesy/g.h"'
put geodesy/beside.h '#include <system/b.h>'
put tests/system/beside_test.cpp '#include "geodesy/g.h"'
put database/types/up.h '#include "database/blockfile/k.h"'
scripts/check_layers.sh >out 2>&1 && { cat out; echo "FAIL: the faults pass"; exit 1; }
expect() {  # expect <text the output must hold>
  grep -qF -- "$1" out || { cat out; echo "FAIL: not named: $1"; exit 1; }
}
expect 'core/angle.h:1: core/ includes "system/b.h" of system/, above it'
expect 'database/catalogue/dots.h:1: database/catalogue/ includes "database/project/p.h"'
expect 'core/sub/neighbour.h:1: core/ includes "system/b.h"'
expect 'core/macro.h:2: core/ includes "system/b.h"'
expect 'core/macro_elsewhere.h:2: includes through the macro SYSTEM_B, defined elsewhere'
expect 'core/comment.h:1: core/ includes "system/b.h"'
expect 'core/comment_before.h:1: core/ includes "system/b.h"'
expect 'core/continued.h:1: core/ includes "system/b.h"'
expect 'core/after_string.h:2: core/ includes "system/b.h"'
for ext in inc ipp inl tcc hh hxx; do expect "core/x.$ext:1: core/ includes \"system/b.h\""; done
expect 'system/beside.h:1: system/ includes "Drivers/framework/f.h" of Drivers/framework/, beside it'
expect 'Drivers/framework/beside.h:1: Drivers/framework/ includes "geodesy/g.h" of geodesy/, beside it'
expect 'geodesy/beside.h:1: geodesy/ includes "system/b.h" of system/, beside it'
expect 'tests/system/beside_test.cpp:1: system/ includes "geodesy/g.h" of geodesy/, beside it'
expect 'database/types/up.h:1: database/types/ includes "database/blockfile/k.h" of database/blockfile/, above it'
if (($(grep -c . out) != 20)); then cat out; echo "FAIL: other lines than the faults"; exit 1; fi

# As compiled: a macro the text cannot follow, and a path with "..". The
# compiler lists a file of its own before the source, as clang does with a
# sanitizer's ignore list.
rm core/angle.h core/macro*.h core/comment*.h core/continued.h core/after_string.h core/x.* \
  core/sub/neighbour.h database/catalogue/dots.h system/beside.h Drivers/framework/beside.h \
  geodesy/beside.h tests/system/beside_test.cpp database/types/up.h
put core/built.cpp '#include "core/names.h"\n#include SYSTEM_B\n#include "core/../system/b.h"\nint built;'
mkdir -p build/scratch
cat >build/scratch/build.ninja <<EOF
rule cc
  command = g++ -MD -MF \$out.d0 -I$scratch -c \$in -o \$out && sed '1s|: |: $scratch/build/scratch/build.ninja |' \$out.d0 >\$out.d
  depfile = \$out.d
  deps = gcc
build built.o: cc $scratch/core/built.cpp
EOF
ninja -C build/scratch >out || { cat out; echo "FAIL: the scratch build fails"; exit 1; }
scripts/check_layers.sh build/scratch >out 2>&1 && { cat out; echo "FAIL: the build passes"; exit 1; }
expect 'core/built.cpp: compiled in build/scratch with system/b.h: core/ includes "system/b.h"'
expect 'core/built.cpp:2: includes through the macro SYSTEM_B, defined elsewhere'
expect 'core/built.cpp:3: core/ includes "system/b.h"'
echo "check_layers_test: every form is caught"
