#!/usr/bin/env bash
# Fails when an #include "..." runs up the floors of the code, naming the file
# and line. Usage: scripts/check_layers.sh   (from anywhere; takes a second)
#
# The floors, bottom up. A file may include its own folder and any folder on
# a lower line; folders on one line are siblings and include neither each
# other nor anything above. A file belongs to the longest folder listed that
# holds it, so database/ counts only through its sub-folders, and a new
# sub-folder fails until it is given a line here (and in the README's table).
# A test may include what its test binary links: the top folder it mirrors
# (all of database/ for tests/database/) and every floor below; tests/support
# counts as platform. fuzz/ and bench/ stand on the top floor.
floors=(
  "platform"
  "core"
  "system Drivers/framework geodesy"
  "database/catalogue"
  "database/types"
  "database/blockfile"
  "database/definitions"
  "database/events"
  "database/project"
  "tools fuzz bench"
)
sources=(platform core system database Drivers geodesy tools tests fuzz bench)

set -euo pipefail
cd "$(dirname "$0")/.."

present=()
for folder in "${sources[@]}"; do if [[ -d $folder ]]; then present+=("$folder"); fi; done
grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${present[@]}" |
  awk -v floors="$(printf '%s\n' "${floors[@]}")" '
    BEGIN {
      n = split(floors, lines, "\n")
      for (i = 1; i <= n; i++) {
        k = split(lines[i], names, " ")
        for (j = 1; j <= k; j++) {
          floor_of[names[j]] = i
          top = names[j]; sub(/\/.*/, "", top)
          top_floor[top] = i  # a top folder stands as high as its highest part
        }
      }
      bad = 0
    }
    # The folder listed for a path: its longest listed prefix ("" if none).
    function unit(path,    p) {
      if (path ~ /^tests\/support\//) return "platform"
      sub(/^tests\//, "", path)
      p = path
      while (sub(/\/[^\/]*$/, "", p)) if (p in floor_of) return p
      return ""
    }
    function report(text) { printf "%s:%s: %s\n", file, line, text; bad = 1 }
    {
      # file:line:text; file names hold no colon.
      file = $0; sub(/:.*/, "", file)
      rest = substr($0, length(file) + 2)
      line = rest; sub(/:.*/, "", line)
      target = rest; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
      if (target !~ /\//) {  # a neighbour, found beside the including file
        dir = file; sub(/\/[^\/]*$/, "", dir)
        target = dir "/" target
      }
      from = unit(file); to = unit(target)
      if (from == "") {
        if (!(file in unknown)) report("its folder is in no floor of scripts/check_layers.sh")
        unknown[file] = 1
        next
      }
      if (to == "") { report("includes \"" target "\", whose folder is in no floor"); next }
      if (target ~ /^tests\// && file !~ /^tests\//) { report("only tests include tests/"); next }
      high = floor_of[from]
      # A test may include what its binary links: its top folder and below.
      if (file ~ /^tests\//) {
        sub(/\/.*/, "", from); high = top_floor[from]
        if (index(to "/", from "/") == 1) next
      }
      if (to != from && floor_of[to] >= high)
        report(from "/ includes \"" target "\" of " to "/, " \
               (floor_of[to] == high ? "beside" : "above") " it")
    }
    END { exit bad }
  ' && echo "layers: every include runs down"
