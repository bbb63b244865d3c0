// Typed access to the header records of a project database: the CHdrList
// members declared in hdr_list.h under "Typed header records" and "Objects
// and derived counters", and the free look-ups over payload copies.
//
//   CHdrList& header = ...;
//   std::string version = header.GetVersionText();         // "8.20.0003"
//   header.ApplySurveyUnits();                              // unit library
//   int32_t dataRecId = 0;
//   if (const sHdrEntry* prh = header.GetSystemPrh(sys, &dataRecId)) ...
//   std::map<std::string, std::string> s = header.GetDriverSettings(sys.id);
//
//   CHdrSubList links(kRecIdNodeLink, header, 112);
//   if (CHdrSubList::Element* e = FindByWords01(links, 3, 4)) ...
//
// Word n is the little-endian 32-bit word at bytes 4n..4n+3 of a payload.
// Payloads come from files and the settings buffer and may be shorter than
// their layout: a word that is not there never matches and is never
// written, and a text is read no further than its field or the payload.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "database/definitions/hdr_sub_list.h"

inline constexpr int32_t kRecIdVersion = 151;
inline constexpr int32_t kRecIdLineName = 176;
inline constexpr int32_t kRecIdNodeLink = 230;
inline constexpr int32_t kRecIdDriverSetting = 256;

// The version an empty list stands for (7.00, build 14).
inline constexpr int32_t kDefaultVersion = 700;
inline constexpr int32_t kDefaultBuild = 14;

// Node numbers carry a 10000s digit that look-ups ignore.
constexpr int32_t ReduceNodeNumber(int32_t node) noexcept {
  return node >= 10000 ? node % 10000 : node;
}

// The PPS records of one key, each zeroed when absent.
struct sPpsRecords {
  std::array<uint8_t, 72> pps{};      // RecId 241
  std::array<uint8_t, 80> timetag{};  // RecId 249
  std::array<uint8_t, 80> pulse{};    // RecId 251
  bool hasPps = false;
  bool hasTimetag = false;
  bool hasPulse = false;
};

// The name (long) or short name of the unit a quantity code is measured in:
// linear units by the unit library's linear table, angles by its angular
// table (which has no short names), "" for quantities without a unit.
std::string GetQuantityUnitText(int quantity, bool longName);

// "Local Grid", or "Local Grid Coordinates" with the suffix.
std::string GetCoordinateKindText(int kind, bool withSuffix);

// ---- Look-ups over payload copies -------------------------------------------
//
// The first element that matches, or null. "c % 10000" takes a node number
// of 10000 and more modulo 10000; "-1: any" lets that argument match every
// element. Where said, a below 1 (or outside 1..9999) matches nothing.

// word 0 = a
CHdrSubList::Element* FindByWord0(CHdrSubList& list, int32_t a);
// word 0 = a, word 1 = b
CHdrSubList::Element* FindByWords01(CHdrSubList& list, int32_t a, int32_t b);
// word 0 = a, word 1 = b, word 2 = c % 10000 (-1: any)
CHdrSubList::Element* FindByWords012(CHdrSubList& list, int32_t a, int32_t b, int32_t c);
// word 1 = a, word 2 = b, word 3 = c % 10000 (-1: any)
CHdrSubList::Element* FindByWords123(CHdrSubList& list, int32_t a, int32_t b, int32_t c);
// a >= 1, word 1 = a
CHdrSubList::Element* FindByWord1(CHdrSubList& list, int32_t a);
// a >= 1, word 1 = a, word 2 = b
CHdrSubList::Element* FindByWords12(CHdrSubList& list, int32_t a, int32_t b);
// a >= 1, word 3 = a, word 2 = b (-1: any)
CHdrSubList::Element* FindByWords32(CHdrSubList& list, int32_t a, int32_t b);
// a in 1..9999, word 0 = a
CHdrSubList::Element* FindByWord0Bounded(CHdrSubList& list, int32_t a);
// a != 0, word 2 = a
CHdrSubList::Element* FindByWord2(CHdrSubList& list, int32_t a);
// word 2 = a, word 1 = b
CHdrSubList::Element* FindByWords21(CHdrSubList& list, int32_t a, int32_t b);

const CHdrSubList::Element* FindByWord0(const CHdrSubList& list, int32_t a);
const CHdrSubList::Element* FindByWords01(const CHdrSubList& list, int32_t a, int32_t b);
const CHdrSubList::Element* FindByWords012(const CHdrSubList& list, int32_t a, int32_t b,
                                           int32_t c);
const CHdrSubList::Element* FindByWords123(const CHdrSubList& list, int32_t a, int32_t b,
                                           int32_t c);
const CHdrSubList::Element* FindByWord1(const CHdrSubList& list, int32_t a);
const CHdrSubList::Element* FindByWords12(const CHdrSubList& list, int32_t a, int32_t b);
const CHdrSubList::Element* FindByWords32(const CHdrSubList& list, int32_t a, int32_t b);
const CHdrSubList::Element* FindByWord0Bounded(const CHdrSubList& list, int32_t a);
const CHdrSubList::Element* FindByWord2(const CHdrSubList& list, int32_t a);
const CHdrSubList::Element* FindByWords21(const CHdrSubList& list, int32_t a, int32_t b);
