#include "core/text/latlon_parse.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast/try_lexical_convert.hpp>

#include "core/text/text_split.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A trimmed, upper-cased copy.
std::string UpperTrimmed(std::string_view text) {
  std::string t = boost::algorithm::trim_copy(std::string(text));
  std::transform(t.begin(), t.end(), t.begin(), ToUpper);
  return t;
}

void EraseAll(std::string& text, char c) {
  text.erase(std::remove(text.begin(), text.end(), c), text.end());
}

// ---- ParseLatLonText -------------------------------------------------------

template <typename T>
bool ReadPart(const std::string& part, T& value) {
  return boost::conversion::try_lexical_convert(part, value);
}

// ---- ParseDms --------------------------------------------------------------

struct NumberSpan {
  const char* begin = nullptr;
  const char* end = nullptr;
};

bool EqualsAny(std::string_view word, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

bool IsDegreesWord(std::string_view w) {
  return EqualsAny(w, {"d", "deg", "degs", "degree", "degrees"});
}

bool IsMinutesWord(std::string_view w) {
  return EqualsAny(w, {"m", "min", "mins", "minute", "minutes"});
}

bool IsUnitWord(std::string_view w) {
  return IsDegreesWord(w) || IsMinutesWord(w) ||
         EqualsAny(w, {"sec", "secs", "second", "seconds"});
}

// +1 for "n", "e", "north", "east"; -1 for "s", "w", "south", "west"; 0 for
// any other word ("Latitude" holds an 'e' but names no hemisphere).
double HemisphereSign(std::string_view w) {
  if (EqualsAny(w, {"n", "e", "north", "east"})) return 1.0;
  if (EqualsAny(w, {"s", "w", "south", "west"})) return -1.0;
  return 0.0;
}

// The lower-cased run of ASCII letters starting at p.
std::string LetterRun(const char* p) {
  std::string word;
  while (IsLetter(*p)) word += ToLower(*p++);
  return word;
}

const char* SkipBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// Where a unit after the number would start (blanks skipped); null when the
// number was not found.
const char* UnitAfter(const NumberSpan& number) {
  return number.end == nullptr ? nullptr : SkipBlanks(number.end);
}

// The degrees are marked as degrees: a degree word (d, deg, ...) or the
// degree sign, in the 8-bit code page (0xB0, or the ordinal 0xBA typed in its
// place) or in UTF-8. 'd' and the sign count alike.
bool DegreesMarked(const NumberSpan& number) {
  const char* p = UnitAfter(number);
  if (p == nullptr) return false;
  if (*p == '\xB0' || *p == '\xBA') return true;
  if (*p == '\xC2' && (p[1] == '\xB0' || p[1] == '\xBA')) return true;
  return IsDegreesWord(LetterRun(p));
}

// The minutes are marked with a minutes word (m, min, ...).
bool MinutesMarked(const NumberSpan& number) {
  const char* p = UnitAfter(number);
  return p != nullptr && IsMinutesWord(LetterRun(p));
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

// The sign of a run of letters that names a hemisphere: a hemisphere word
// or, straight after a number, a unit with one hemisphere letter glued to it
// ("30.5secS", "10mN", "30.5SW"). A run that is a unit word as it stands
// ("secs", "MINS") is that unit, unless a capital follows the unit written
// in lower case ("secS"). 0 for anything else.
double RunSign(std::string_view run, const std::string& lower, bool afterNumber) {
  const double sign = HemisphereSign(lower);
  if (sign != 0.0 || !afterNumber || run.size() < 2) return sign;
  const std::string_view unit = std::string_view(lower).substr(0, lower.size() - 1);
  if (!IsUnitWord(unit) && unit != "s") return 0.0;
  if (IsUnitWord(lower)) {
    const bool capitalAfterLowerCase =
        IsUpper(run.back()) && std::none_of(run.begin(), run.end() - 1, IsUpper);
    if (!capitalAfterLowerCase) return 0.0;
  }
  return HemisphereSign(std::string_view(lower).substr(lower.size() - 1));
}

// The sign from the first '+', '-' or hemisphere letter, the rule the header
// gives. The one letter that is both a unit and a hemisphere is an 's' after
// the seconds; it is passed over as their unit only where it cannot be the
// hemisphere: a hemisphere letter of the same coordinate follows it (before
// any further number or sign), or it is a lower-case 's' finishing degrees
// and minutes marked with 'd' (or the degree sign) and 'm', glued to the
// seconds as the 'm' is to the minutes, or spaced as it is. The first mark
// decides, so the text is read only as far as that.
double SignOf(const char* text, const NumberSpan (&numbers)[3]) {
  // Where each number's unit would start, found once: a run of letters asks
  // for all three, and skipping the blanks again for each run made long texts
  // quadratic.
  const char* const unitAt[3] = {UnitAfter(numbers[0]), UnitAfter(numbers[1]),
                                 UnitAfter(numbers[2])};
  const char* secondsUnitAt = unitAt[2];
  // The 's' finishes the 'd' and 'm' marks only when it stands from the
  // seconds as the 'm' stands from the minutes: "52d10m30.5 s" may be south.
  const bool spacedAsMinutes = secondsUnitAt != nullptr &&
                               (secondsUnitAt != numbers[2].end) ==
                                   (unitAt[1] != numbers[1].end);
  const bool dmsLetters =
      DegreesMarked(numbers[0]) && MinutesMarked(numbers[1]) && spacedAsMinutes;
  // An 's' after the seconds that is south unless a hemisphere follows it.
  bool southOrUnit = false;
  for (const char* p = text; *p != '\0';) {
    // An exponent inside a number ("1e-5") is neither a sign nor a letter.
    const auto inside = std::find_if(std::begin(numbers), std::end(numbers),
                                     [p](const NumberSpan& n) { return n.begin == p; });
    if (inside != std::end(numbers)) {
      p = inside->end;
      continue;
    }
    if (*p == '+' || *p == '-' || IsDigit(*p)) {
      // What stands after the seconds' 's' is another coordinate's.
      if (southOrUnit) return -1.0;
      if (IsDigit(*p)) {
        ++p;
        continue;
      }
      return *p == '+' ? 1.0 : -1.0;
    }
    if (!IsLetter(*p)) {
      ++p;
      continue;
    }
    const char* start = p;
    const std::string word = LetterRun(p);
    p += word.size();
    const bool afterNumber = std::find(std::begin(unitAt), std::end(unitAt), start) !=
                             std::end(unitAt);
    const double sign = RunSign(std::string_view(start, word.size()), word, afterNumber);
    if (sign == 0.0) continue;
    if (word == "s" && start == secondsUnitAt) {
      if (*start == 's' && dmsLetters) continue;  // certainly the unit
      southOrUnit = true;
      continue;
    }
    return sign;
  }
  return southOrUnit ? -1.0 : 1.0;
}

// ---- ParseLatitudeDm / ParseLongitudeDm -------------------------------------

// strtod at `text`; false unless what it read holds a digit (so "", "N" and
// "INF" are not numbers).
bool ReadNumber(const char* text, double& value) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (!std::any_of(static_cast<const char*>(text), static_cast<const char*>(end), IsDigit))
    return false;
  value = v;
  return true;
}

bool ParseDm(std::string_view text, char negativeLetter, char positiveLetter, bool latitude,
             double& degrees) {
  std::string t = UpperTrimmed(text);
  double sign = 1.0;
  const size_t negativeAt = t.find(negativeLetter);
  if (negativeAt != std::string::npos && negativeAt > 0) {
    sign = -1.0;
    EraseAll(t, negativeLetter);
  } else if (t.find('-') != std::string::npos) {
    sign = -1.0;
    EraseAll(t, '-');
  } else {
    const size_t positiveAt = t.find(positiveLetter);
    if (positiveAt != std::string::npos && positiveAt > 0) EraseAll(t, positiveLetter);
  }
  std::replace(t.begin(), t.end(), ',', '.');
  // A letter taken off the end leaves its space behind ("52.5 N").
  boost::algorithm::trim(t);

  double value = 0.0;
  const size_t space = t.find(' ');
  if (space != std::string::npos) {
    double wholeDegrees = 0.0;
    double minutes = 0.0;
    const std::string rest = boost::algorithm::trim_copy(t.substr(space + 1));
    if (!ReadNumber(t.c_str(), wholeDegrees) || !ReadNumber(rest.c_str(), minutes))
      return false;
    if (minutes >= 60.0) return false;
    value = wholeDegrees + minutes / 60.0;
  } else if (!ReadNumber(t.c_str(), value)) {
    return false;
  }

  if (latitude) {
    value *= sign;
    if (!(value >= -90.0 && value <= 90.0)) return false;
  } else {
    if (!(value >= -180.0 && value <= 360.0)) return false;
    value *= sign;
  }
  degrees = value;
  return true;
}

}  // namespace

bool ParseLatLonText(std::string_view text, double& degrees) {
  degrees = 0.0;
  std::string t = UpperTrimmed(text);
  if (t.empty()) return false;
  bool negative = false;
  if (t.front() == '-') {
    negative = true;
    t.erase(0, 1);
  }
  if (!t.empty()) {
    const char last = t.back();
    if (last == 'N' || last == 'S' || last == 'E' || last == 'W') {
      t.pop_back();
      if (last == 'S' || last == 'W') negative = !negative;
    }
  }
  std::vector<std::string> parts = SplitStdString(t, ';');
  for (std::string& part : parts) boost::algorithm::trim(part);

  double value = 0.0;
  switch (parts.size()) {
    case 1:
      if (!ReadPart(parts[0], value) || value < 0.0) return false;
      break;
    case 2: {
      int whole = 0;
      double minutes = 0.0;
      if (!ReadPart(parts[0], whole) || !ReadPart(parts[1], minutes)) return false;
      if (whole < 0 || minutes < 0.0) return false;
      value = whole + minutes / 60.0;
      break;
    }
    case 3: {
      int whole = 0;
      int minutes = 0;
      double seconds = 0.0;
      if (!ReadPart(parts[0], whole) || !ReadPart(parts[1], minutes) ||
          !ReadPart(parts[2], seconds))
        return false;
      if (whole < 0 || minutes < 0 || seconds < 0.0) return false;
      value = whole + minutes / 60.0 + seconds / 3600.0;
      break;
    }
    default:
      return false;
  }
  if (!std::isfinite(value)) return false;
  degrees = negative ? -value : value;
  return true;
}

bool ParseLatLonToDms(std::string_view text, sDms& out, bool latitude) {
  out = sDms{};
  out.hemisphere = latitude ? 'N' : 'E';
  double value = 0.0;
  if (!ParseLatLonText(text, value)) return false;
  DegreesToDmsRecord(value, latitude, out, 59.999996f);
  return true;
}

double ParseDmsText(const char* text) {
  if (text == nullptr) return 0.0;
  NumberSpan numbers[3];
  double parts[3] = {0.0, 0.0, 0.0};
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    while (*p != '\0' && !IsDigit(*p)) ++p;
    if (*p == '\0') break;
    char* end = nullptr;
    parts[i] = std::strtod(p, &end);
    numbers[i] = NumberSpan{p, end};
    p = end;
  }
  return SignOf(text, numbers) * (parts[0] + parts[1] / 60.0 + parts[2] / 3600.0);
}

double ParseDms(const std::string& text) { return ParseDmsText(text.c_str()); }

double ParseDmsTextRadians(const char* text) { return ParseDmsText(text) * kDegToRad; }

bool ParseLatitudeDm(std::string_view text, double& degrees) {
  return ParseDm(text, 'S', 'N', true, degrees);
}

bool ParseLongitudeDm(std::string_view text, double& degrees) {
  return ParseDm(text, 'W', 'E', false, degrees);
}
