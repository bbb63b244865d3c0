// Cutting received messages and other texts into fields.
//
//   std::vector<std::string> parts;
//   int n = SplitString("$GPGGA,123519,4807.038,N", parts, ',', false);  // 4
//   std::string lat = GetField("a;b;c", 1, ';');                          // "b"
//   std::vector<std::string> v = SplitStdString("a,,b", ',');            // a, "", b
//
// A byte is a character; nothing here looks at encodings. Every function
// takes any index or count the caller gives and never reads outside the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Replaces `parts` by the pieces of `text` between `separator`s and returns
// their number (0 for an empty text). Without `merge` every separator ends a
// piece, so leading, trailing and adjacent separators give empty pieces; with
// `merge` empty pieces are dropped. Keeping one vector for many messages
// keeps its capacity, so short fields cost no allocation.
int SplitString(std::string_view text, std::vector<std::string>& parts, char separator,
                bool merge);

// Replaces `parts` by the pieces of `text` between any of the characters of
// `separators`. With `trim` the text is trimmed of white space at both ends
// and every piece of white space at its front. Empty pieces are kept only
// with `keepEmpty`; a trailing separator adds no piece after it. With no
// separators the whole (trimmed) text is the one piece. Returns the count.
int SplitStringAny(std::string_view text, std::vector<std::string>& parts,
                   std::string_view separators, bool keepEmpty, bool trim);

// The pieces between separators including empty ones, always with the piece
// after the last separator ("a," gives "a" and ""); an empty text gives none.
std::vector<std::string> SplitStdString(const std::string& text, char separator);
// As SplitStdString; a character separates when it occurs in `separators`.
std::vector<std::string> SplitStdStringAny(const std::string& text,
                                           const std::string& separators);

// Field `index` (0-based) between separators; empty when the text has fewer
// fields, the field is empty or the index is negative.
std::string GetField(std::string_view text, int index, char separator);

// The text between the first `open` and the first `close`; empty when either
// is missing or the first close stands at or before the first open.
std::string ExtractBetween(std::string_view text, char open, char close);
