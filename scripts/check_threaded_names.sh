#!/usr/bin/env bash
# Fails when a test starts threads and "Threaded" is in neither its suite's
# name nor its own, naming each such test: the ThreadSanitizer step of
# scripts/test.sh runs the tests by that name only.
# Usage: scripts/check_threaded_names.sh [FILE...]   (default: tests/**/*.cpp)
#
# A test starts threads when its body, or a function, lambda or class of its
# file that the body names (at any depth), matches one of the markers below
# (extended regular expressions): the standard ways to start a thread, and
# the library's own classes and functions that start one. Comments, string
# literals and preprocessor lines do not count.
markers=(
  'std::thread' 'std::jthread' 'std::async' 'pthread_create' 'boost::thread'
  # The I/O thread of system/process/child_redirecter.h.
  'CZORRedirecter'
  # The watcher of database/project/project_settings.h, when the first
  # argument asks for one.
  'CProjectSettings *>? *([A-Za-z_][A-Za-z0-9_]*)? *\( *(1|TRUE|true) *,'
  # The report thread of platform/report_thread.h, which the crash handler
  # starts.
  'StartReportThread' 'CCrashHandler::Install'
)
set -euo pipefail
cd "$(dirname "$0")/.."

files=("$@")
if ((${#files[@]} == 0)); then
  mapfile -t files < <(find tests -name '*.cpp' | sort)
fi

pattern=$(printf '%s\n' "${markers[@]}" | paste -sd '|')
status=0
for file in "${files[@]}"; do
  awk -v file="$file" -v markers="$pattern" '
    { text = text $0 "\n" }
    END {
      # Blank out comments, string and character literals and preprocessor
      # lines (with their continuations), keeping every newline.
      n = length(text); out = ""; i = 1; state = "code"; bol = 1
      while (i <= n) {
        c = substr(text, i, 1); d = substr(text, i, 2)
        if (state == "code") {
          if (bol && c ~ /[ \t]/) { out = out c; i++; continue }
          if (bol && c == "#") { state = "pp"; bol = 0; i++; continue }
          bol = 0
          if (d == "//") { state = "line"; i += 2; continue }
          if (d == "/*") { state = "block"; i += 2; continue }
          if (c == "\"") {
            # A raw string R"x(...)x" ends at its own delimiter.
            if (i > 1 && substr(text, i - 1, 1) == "R" && match(substr(text, i), /^"[^(]*\(/)) {
              delim = ")" substr(text, i + 1, RLENGTH - 2) "\""
              rest = substr(text, i + RLENGTH)
              e = index(rest, delim)
              if (e == 0) e = length(rest)
              skipped = substr(rest, 1, e + length(delim) - 1)
              gsub(/[^\n]/, "", skipped); out = out "\"\"" skipped
              i += RLENGTH + e + length(delim) - 1; continue
            }
            state = "string"; out = out c; i++; continue
          }
          if (c == "\x27" && !(i > 1 && substr(text, i - 1, 1) ~ /[0-9A-Fa-f]/)) {
            state = "char"; out = out c; i++; continue
          }
          out = out c; if (c == "\n") bol = 1; i++; continue
        }
        if (state == "pp") {
          if (d == "\\\n") { out = out "\n"; i += 2; continue }
          if (c == "\n") { state = "code"; bol = 1; out = out c }
          i++; continue
        }
        if (state == "line") {
          if (c == "\n") { state = "code"; bol = 1; out = out c }
          i++; continue
        }
        if (state == "block") {
          if (d == "*/") { state = "code"; i += 2; continue }
          if (c == "\n") out = out c
          i++; continue
        }
        # string or char
        if (c == "\\") { i += 2; continue }
        if ((state == "string" && c == "\"") || (state == "char" && c == "\x27")) {
          state = "code"; out = out c; i++; continue
        }
        if (c == "\n") out = out c
        i++
      }

      # Cut the file into units at namespace level: each holds its header,
      # the line it starts on and its body.
      n = length(out); depth = 0; header = ""; line = 1; units = 0
      for (i = 1; i <= n; i++) {
        c = substr(out, i, 1)
        if (c == "\n") line++
        if (depth == 0) {
          if (c == "{") {
            if (header ~ /(^|[^A-Za-z0-9_])namespace([^A-Za-z0-9_]|$)/ || header ~ /extern[ \t\n]*""/) {
              header = ""; continue  # its braces hold units of their own
            }
            units++; head[units] = header; start[units] = hline; body[units] = ""; depth = 1
            continue
          }
          if (c == "}" || c == ";") { header = ""; continue }
          if (header !~ /[^ \t\n]/) hline = line
          header = header c
          continue
        }
        if (c == "{") depth++
        if (c == "}") { depth--; if (depth == 0) { header = ""; continue } }
        body[units] = body[units] c
      }

      # Names of the units: tests, classes, functions, lambdas.
      for (u = 1; u <= units; u++) {
        h = head[u]; gsub(/[\n\t]/, " ", h)
        name[u] = ""; test[u] = ""
        if (match(h, /(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)[ ]*\([^,]*,[^)]*\)/)) {
          t = substr(h, RSTART, RLENGTH); sub(/^[^(]*\([ ]*/, "", t); sub(/[ ]*\)$/, "", t)
          split(t, parts, /[ ]*,[ ]*/); test[u] = parts[1] "." parts[2]
        } else if (match(h, /(class|struct)[ ]+[A-Za-z_][A-Za-z0-9_]*/)) {
          t = substr(h, RSTART, RLENGTH); sub(/^(class|struct)[ ]+/, "", t); name[u] = t
        } else if (match(h, /[A-Za-z_][A-Za-z0-9_]*[ ]*=[ ]*\[/)) {
          t = substr(h, RSTART, RLENGTH); sub(/[ ]*=.*$/, "", t); name[u] = t
        } else if (match(h, /[A-Za-z_][A-Za-z0-9_]*[ ]*\(/)) {
          t = substr(h, RSTART, RLENGTH); sub(/[ ]*\($/, "", t); name[u] = t
        }
        threaded[u] = (body[u] ~ ("(^|[^A-Za-z0-9_:])(" markers ")([^A-Za-z0-9_]|$)")) ? 1 : 0
      }
      # What names a unit that starts threads starts them too.
      do {
        changed = 0
        for (u = 1; u <= units; u++) {
          if (!threaded[u] || name[u] == "" || seen[u]) continue
          seen[u] = 1
          for (v = 1; v <= units; v++)
            if (!threaded[v] && body[v] ~ ("(^|[^A-Za-z0-9_])" name[u] "([^A-Za-z0-9_]|$)")) {
              threaded[v] = 1; changed = 1
            }
        }
      } while (changed)

      bad = 0
      for (u = 1; u <= units; u++)
        if (test[u] != "" && threaded[u] && test[u] !~ /Threaded/) {
          printf "%s:%d: %s starts threads and \"Threaded\" is not in its name\n", file, start[u], test[u]
          bad = 1
        }
      exit bad
    }' "$file" || status=1
done
if ((status)); then
  echo "check_threaded_names: the ThreadSanitizer step runs only tests named *Threaded*" >&2
  exit 1
fi
echo "check_threaded_names: every test that starts threads is named so (${#files[@]} files)"
