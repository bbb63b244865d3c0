#!/usr/bin/env bash
# Fails when an include runs up the floors of the code, naming the file and
# line. Usage: scripts/check_layers.sh [BUILD_DIR...]   (from anywhere; seconds)
#
# Two readings, both checked:
# - the text of every source file (.h .hh .hpp .hxx .inc .inl .ipp .tcc .c .cc
#   .cpp .cxx): #include "..." and <...>, resolved as the compiler does (beside
#   the file, then from the top folder; "a/../b" folded), across comments and
#   line continuations, through a macro defined as a file name in the same
#   file (a macro defined elsewhere fails: name the file instead);
# - what the compiler resolved, from the dependencies Ninja keeps in each build
#   folder named (by default every build/*/ that holds them): every file of the
#   tree a source file was compiled with must stand on its floor or below.
#   These are the whole include closure of each source, so a header that runs
#   up is named through each source that reaches it; rebuild after a fix.
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
root=$(pwd -P)

builds=("$@")
if ((${#builds[@]} == 0)); then
  for dir in build/*/; do
    if [[ -f $dir/.ninja_deps ]]; then builds+=("${dir%/}"); fi
  done
fi

present=()
for folder in "${sources[@]}"; do if [[ -d $folder ]]; then present+=("$folder"); fi; done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/check_layers.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Every file of the tree, to resolve include names as the compiler would.
find . -path ./.git -prune -o -path './build*' -prune -o -type f -print |
  sed 's|^\./||' >"$scratch/tree"

# Both readers fold paths alike: "a/./b/../c" -> "a/c"; "" when it leaves
# the tree.
fold_awk='
    function fold(path,    n, i, parts, depth, out) {
      n = split(path, parts, "/"); depth = 0
      for (i = 1; i <= n; i++) {
        if (parts[i] == "" || parts[i] == ".") continue
        if (parts[i] == "..") { if (depth == 0) return ""; depth--; continue }
        kept[++depth] = parts[i]
      }
      out = ""
      for (i = 1; i <= depth; i++) out = out (i > 1 ? "/" : "") kept[i]
      return out
    }'

# Text: one "E<TAB>file<TAB>line<TAB>resolved target" per include of a file
# of the tree, or "X<TAB>file<TAB>line<TAB>message" where it cannot be read.
find "${present[@]}" -type f \( -name '*.h' -o -name '*.hh' -o -name '*.hpp' -o -name '*.hxx' \
    -o -name '*.inc' -o -name '*.inl' -o -name '*.ipp' -o -name '*.tcc' -o -name '*.c' \
    -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' \) -print | sort >"$scratch/sources"
: >"$scratch/edges"
if [[ -s $scratch/sources ]]; then
  xargs awk -v tree="$scratch/tree" -v root="$root" "$fold_awk"'
    BEGIN { while ((getline f < tree) > 0) exists[f] = 1 }
    # The line without its comments; a block comment may run on.
    function uncomment(s,    out, pos, c) {
      out = ""
      while (s != "") {
        if (in_comment) {
          pos = index(s, "*/")
          if (!pos) return out
          s = substr(s, pos + 2); in_comment = 0; out = out " "; continue
        }
        if (!match(s, /\/\*|\/\/|"|\047/)) return out s
        out = out substr(s, 1, RSTART - 1); c = substr(s, RSTART, RLENGTH); s = substr(s, RSTART)
        if (c == "//") return out
        if (c == "/*") { in_comment = 1; s = substr(s, 3); continue }
        if (c == "\"" ? match(s, /^"([^"\\]|\\.)*"/) : match(s, /^\047([^\047\\]|\\.)*\047/)) {
          out = out substr(s, 1, RLENGTH); s = substr(s, RLENGTH + 1)
        } else {
          out = out c; s = substr(s, 2)
        }
      }
      return out
    }
    function emit(kind, target,    dir, found) {
      if (index(target, root "/") == 1) target = substr(target, length(root) + 2)
      found = ""
      if (kind == "\"") {
        dir = file; sub(/\/[^\/]*$/, "", dir)
        found = fold(dir "/" target)
        if (!(found in exists)) found = ""
      }
      if (found == "") { found = fold(target); if (!(found in exists)) found = "" }
      # Not in the tree: a system or library header.
      if (found != "") printf "E\t%s\t%d\t%s\n", file, at, found
    }
    FNR == 1 { file = FILENAME; in_comment = 0; joined = ""; for (m in defined) delete defined[m] }
    {
      line = $0
      if (joined == "") at = FNR
      if (line ~ /\\$/) { joined = joined substr(line, 1, length(line) - 1); next }
      line = uncomment(joined line); joined = ""
      if (line !~ /^[ \t]*#/) next
      sub(/^[ \t]*#[ \t]*/, "", line)
      if (match(line, /^define[ \t]+[A-Za-z_][A-Za-z0-9_]*[ \t]+("[^"]*"|<[^>]*>)[ \t]*$/)) {
        split(line, words, /[ \t]+/)
        value = line; sub(/^define[ \t]+[A-Za-z_][A-Za-z0-9_]*[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
        defined[words[2]] = value
        next
      }
      if (line !~ /^include([^A-Za-z0-9_]|$)/) next
      sub(/^include[ \t]*/, "", line)
      if (match(line, /^[A-Za-z_][A-Za-z0-9_]*/)) {
        name = substr(line, 1, RLENGTH)
        if (!(name in defined)) {
          printf "X\t%s\t%d\tincludes through the macro %s, defined elsewhere: name the file\n", file, at, name
          next
        }
        line = defined[name]
      }
      if (match(line, /^"[^"]*"/) || match(line, /^<[^>]*>/))
        emit(substr(line, 1, 1), substr(line, 2, RLENGTH - 2))
    }
  ' >>"$scratch/edges" <"$scratch/sources"
fi

# Build: "D<TAB>source<TAB>0<TAB>file it was compiled with<TAB>build folder".
for dir in "${builds[@]}"; do
  if [[ ! -f $dir/build.ninja ]]; then
    echo "check_layers: $dir is no Ninja build folder" >&2
    exit 2
  fi
  before=$(wc -l <"$scratch/edges")
  ninja -C "$dir" -t deps | awk -v tree="$scratch/tree" -v root="$root" -v here="$PWD" \
      -v build="$dir" -v sources="$(printf '%s\n' "${sources[@]}")" "$fold_awk"'
    BEGIN {
      while ((getline f < tree) > 0) exists[f] = 1
      n = split(sources, tops, "\n")
      for (i = 1; i <= n; i++) top_of[tops[i]] = 1
    }
    # The path inside the tree of a dependency, "" for one outside its sources.
    function inside(path,    top) {
      if (path !~ /^\//) path = here "/" build "/" path
      path = "/" fold(path)
      if (index(path, root "/") == 1) path = substr(path, length(root) + 2)
      else if (index(path, here "/") == 1) path = substr(path, length(here) + 2)
      else return ""
      top = path; sub(/\/.*/, "", top)
      return (top in top_of) && (path in exists) ? path : ""
    }
    # An object'"'"'s source is the first of its files in the tree that is a
    # source file: a compiler may list files of its own before it (a
    # sanitizer'"'"'s ignore list).
    function flush(    i, source) {
      source = ""
      for (i = 1; i <= count && source == ""; i++) if (deps[i] ~ /\.(c|cc|cpp|cxx)$/) source = deps[i]
      if (source != "")
        for (i = 1; i <= count; i++)
          if (deps[i] != source) printf "D\t%s\t0\t%s\t%s\n", source, deps[i], build
      count = 0
    }
    /^[^ \t]/ { flush(); next }
    { path = $0; sub(/^[ \t]+/, "", path); dep = inside(path); if (dep != "") deps[++count] = dep }
    END { flush() }
  ' >>"$scratch/edges"
  if (($(wc -l <"$scratch/edges") == before)); then
    echo "check_layers: $dir holds no compiled dependencies of this tree (build it first)" >&2
    exit 2
  fi
done

awk -F '\t' -v floors="$(printf '%s\n' "${floors[@]}")" '
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
  # Why file may not include target ("" when it may).
  function fault(file, target,    from, to, high) {
    from = unit(file); to = unit(target)
    if (from == "") return "its folder is in no floor of scripts/check_layers.sh"
    if (to == "") return "includes \"" target "\", whose folder is in no floor"
    if (target ~ /^tests\// && file !~ /^tests\//) return "only tests include tests/"
    high = floor_of[from]
    # A test may include what its binary links: its top folder and below.
    if (file ~ /^tests\//) {
      sub(/\/.*/, "", from); high = top_floor[from]
      if (index(to "/", from "/") == 1) return ""
    }
    if (to != from && floor_of[to] >= high)
      return from "/ includes \"" target "\" of " to "/, " (floor_of[to] == high ? "beside" : "above") " it"
    return ""
  }
  $1 == "X" { printf "%s:%s: %s\n", $2, $3, $4; bad = 1; next }
  $1 == "E" {
    why = fault($2, $4)
    if (why ~ /^its folder/) { if (!($2 in unknown)) printf "%s: %s\n", $2, why; unknown[$2] = 1 }
    else if (why != "") printf "%s:%s: %s\n", $2, $3, why
    if (why != "") bad = 1
    next
  }
  $1 == "D" {
    why = fault($2, $4)
    if (why == "" || (($2, $4) in told)) next
    told[$2, $4] = 1
    printf "%s: compiled in %s with %s: %s\n", $2, $5, $4, why
    bad = 1
  }
  END { exit bad }
' "$scratch/edges" && echo "layers: every include runs down${builds[*]:+ (text, and as built in ${builds[*]})}"
