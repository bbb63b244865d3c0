#include "database/project/project_settings_file.h"

#include <cstring>

#include "platform/bytes.h"

using zor::platform::ArchiveException;
using zor::platform::ClassArchive;

namespace {

// 2006-01-01 and 2006-01-02, 00:00:00 UTC, in Unix seconds.
constexpr double kT0 = 1136073600.0;
constexpr double kT1 = 1136160000.0;

struct RangeDefault {
  double minimum;
  double maximum;
};
using GroupDefaults = RangeDefault[6];

constexpr GroupDefaults kGroup0 = {{-25, 0}, {-2, 2}, {0, 1}, {kT0, kT1}, {0, 10}, {-5, 5}};
constexpr GroupDefaults kGroup1 = {{0, 655}, {0, 10}, {0, 100}, {kT0, kT1}, {0, 10}, {-5, 5}};
constexpr GroupDefaults kGroup3 = {{0, 100}, {0, 1}, {0, 100}, {kT0, kT1}, {0, 10}, {-5, 5}};
constexpr GroupDefaults kGroup4 = {{-128, 0}, {0, 1},    {-128, 0},
                                   {kT0, kT1}, {-128, 0}, {-128, 127}};

void ApplyGroup(sProjectSettingsRecord& record, int group, const GroupDefaults& defaults) {
  for (int k = 0; k < 6; ++k) {
    record.ranges[group][k].minimum = defaults[k].minimum;
    record.ranges[group][k].maximum = defaults[k].maximum;
  }
}

// The 392-byte record of versions 1 to 3.
struct OldRecord {
  int32_t words1to5[5];
  char path[260];
  double minima[6];
  double maxima[6];
  int32_t words6to8[3];
  uint8_t unused[4];
};
static_assert(sizeof(OldRecord) == 392);
static_assert(offsetof(OldRecord, path) == 20);
static_assert(offsetof(OldRecord, minima) == 280);
static_assert(offsetof(OldRecord, maxima) == 328);
static_assert(offsetof(OldRecord, words6to8) == 376);

// A text field from a file need not hold its terminator; the last byte
// becomes one, so every reader of the field stops inside it.
template <std::size_t N>
void Terminate(char (&field)[N]) {
  if (std::memchr(field, 0, N) == nullptr) field[N - 1] = '\0';
}

void TerminateTexts(sProjectSettingsRecord& record) {
  Terminate(record.path1);
  Terminate(record.path2);
  Terminate(record.path3);
  Terminate(record.path4);
  for (auto& group : record.ranges)
    for (auto& range : group) Terminate(range.text);
}

template <std::size_t N>
std::string_view FieldView(const char (&field)[N]) {
  const void* zero = std::memchr(field, 0, N);
  // A field without a terminator is cut so that the text and its zero fit.
  const std::size_t n = zero ? static_cast<const char*>(zero) - field : N - 1;
  return std::string_view(field, n);
}

void ReadWords(ClassArchive& ar, std::initializer_list<int32_t*> words) {
  for (int32_t* w : words) ar >> *w;
}

void ReadLeadingTexts(ClassArchive& ar, ProjectSettingsValues& v) {
  std::string dummy;
  ar >> v.rootFolder >> v.text2 >> dummy >> v.text3 >> v.folderMask >> v.text1 >> v.fileFlag;
}

void ReadVersion1To3(ClassArchive& ar, ProjectSettingsValues& v, int version) {
  sProjectSettingsRecord& r = v.record;
  if (version == 1) ar >> v.projectFolder;
  std::string dummy;
  ar >> v.rootFolder >> dummy >> dummy >> v.text3 >> v.folderMask;
  if (version == 3) ar >> v.text1 >> v.fileFlag;
  OldRecord old;
  ar.ReadBlock(&old, sizeof old);
  r.word1 = old.words1to5[0];
  r.word2 = old.words1to5[1];
  r.word3 = old.words1to5[2];
  r.word4 = old.words1to5[3];
  r.word5 = old.words1to5[4];
  r.word6 = old.words6to8[0];
  r.word7 = old.words6to8[1];
  r.word8 = old.words6to8[2];
  UpgradeOldSettings(r, FieldView(old.path), old.minima, old.maxima);
}

void ReadVersion4To6(ClassArchive& ar, ProjectSettingsValues& v, int version) {
  sProjectSettingsRecord& r = v.record;
  ReadLeadingTexts(ar, v);
  if (version == 4)
    ReadWords(ar, {&r.word7, &r.word8, &r.word1, &r.word6, &r.word4, &r.word3, &r.word9,
                   &r.word2, &r.word5});
  else
    ReadWords(ar, {&r.word7, &r.word8, &r.word10, &r.word1, &r.word6, &r.word4, &r.word3,
                   &r.word9, &r.word2, &r.word5});
  double maxima[6];
  double minima[6];
  char path[260];
  ar.ReadBlock(maxima, sizeof maxima);
  ar.ReadBlock(minima, sizeof minima);
  ar.ReadBlock(path, sizeof path);
  if (version == 6) {
    char unused[260];
    ar.ReadBlock(unused, sizeof unused);
  }
  UpgradeOldSettings(r, FieldView(path), minima, maxima);
}

void ReadVersion7To8(ClassArchive& ar, ProjectSettingsValues& v, int version) {
  sProjectSettingsRecord& r = v.record;
  ReadLeadingTexts(ar, v);
  ReadWords(ar, {&r.word7, &r.word8, &r.word10, &r.word1, &r.word6, &r.word4, &r.word3, &r.word9,
                 &r.word2, &r.word5, &r.word11, &r.word12});
  ar >> r.rangeFlag;
  ar.ReadBlock(r.path1, sizeof r.path1);
  ar.ReadBlock(r.path3, sizeof r.path3);
  ar.ReadBlock(r.path2, sizeof r.path2);
  ar.ReadBlock(r.ranges, sizeof r.ranges);
  if (version == 8) {
    ar.ReadBlock(r.path4, sizeof r.path4);
    ar.ReadBlock(r.extra, sizeof r.extra);
  }
  TerminateTexts(r);
}

std::string ArchiveFilePath(const ClassArchive& ar) {
  return ar.GetFile() ? ar.GetFile()->GetFilePath() : std::string();
}

}  // namespace

uint32_t DefaultFolderMask(int32_t kind) { return kind == 1 ? 0x0710A85Bu : 0xF9FFFFFFu; }

void SetDefaultRangesGroup0(sProjectSettingsRecord& record) { ApplyGroup(record, 0, kGroup0); }
void SetDefaultRangesGroup1(sProjectSettingsRecord& record) { ApplyGroup(record, 1, kGroup1); }
void SetDefaultRangesGroup2(sProjectSettingsRecord& record) { ApplyGroup(record, 2, kGroup1); }
void SetDefaultRangesGroup3(sProjectSettingsRecord& record) { ApplyGroup(record, 3, kGroup3); }
void SetDefaultRangesGroup4(sProjectSettingsRecord& record) { ApplyGroup(record, 4, kGroup4); }

namespace {
void SetAllRangeDefaults(sProjectSettingsRecord& record) {
  SetDefaultRangesGroup0(record);
  SetDefaultRangesGroup1(record);
  SetDefaultRangesGroup2(record);
  SetDefaultRangesGroup3(record);
  SetDefaultRangesGroup4(record);
}
}  // namespace

void ResetProjectSettingsRecord(sProjectSettingsRecord& record) {
  std::memset(&record, 0, sizeof record);
  record.word2 = 2;
  record.word4 = 1;
  record.word5 = 24;
  record.word6 = 1;
  record.word8 = 1;
  record.rangeFlag = 1;
  SetAllRangeDefaults(record);
}

void UpgradeOldSettings(sProjectSettingsRecord& record, std::string_view oldPath,
                        const double (&minima)[6], const double (&maxima)[6]) {
  if (oldPath.size() > 259) oldPath = oldPath.substr(0, 259);
  std::string_view folder = oldPath;
  std::string_view name = oldPath;
  const std::size_t cut = oldPath.find_last_of("\\/");
  if (cut != std::string_view::npos) {
    folder = oldPath.substr(0, cut);
    name = oldPath.substr(cut + 1);
  }
  record.rangeFlag = 1;
  zor::platform::SetFieldText(record.path1, folder);
  zor::platform::SetFieldText(record.path3, name);
  SetAllRangeDefaults(record);
  for (auto& group : record.ranges)
    for (int k = 0; k < 6; ++k) zor::platform::SetFieldText(group[k].text, name);
  for (int k : {0, 1, 2, 5}) {
    record.ranges[0][k].minimum = minima[k];
    record.ranges[0][k].maximum = maxima[k];
  }
}

bool IsValidProjectSettings(int32_t fileFlag, const sProjectSettingsRecord& r) {
  const auto in = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
  return in(fileFlag, 0, 1) && in(r.word7, 0, 1) && in(r.word8, 0, 1) && r.rangeFlag <= 1 &&
         in(r.word6, 0, 3) && in(r.word9, 0, 3) && in(r.word10, 0, 3) && in(r.word1, -1, 14) &&
         in(r.word4, 0, 1) && in(r.word3, 0, 1) && in(r.word2, 0, 12) && in(r.word11, 0, 2) &&
         in(r.word12, -12, 14);
}

void ReadProjectSettingsFile(ClassArchive& ar, ProjectSettingsValues& values, bool force) {
  uint8_t byte = 0;
  ar >> byte;
  int version = byte;
  if (force) {
    values.fileState = 3;
    version = kProjectSettingsFileVersion;
  } else {
    values.fileState = version < kProjectSettingsFileVersion    ? 2
                       : version == kProjectSettingsFileVersion ? 1
                                                                : 0;
  }
  switch (version) {
    case 1:
    case 2:
    case 3: ReadVersion1To3(ar, values, version); break;
    case 4:
    case 5:
    case 6: ReadVersion4To6(ar, values, version); break;
    case 7:
    case 8: ReadVersion7To8(ar, values, version); break;
    default: throw ArchiveException(ArchiveException::badSchema, "File " + ArchiveFilePath(ar));
  }
  if (!IsValidProjectSettings(values.fileFlag, values.record))
    throw ArchiveException(ArchiveException::badIndex, ArchiveFilePath(ar));
}

void WriteProjectSettingsFile(ClassArchive& ar, const ProjectSettingsValues& v) {
  const sProjectSettingsRecord& r = v.record;
  ar << kProjectSettingsFileVersion << v.rootFolder << v.text2 << std::string() << v.text3
     << v.folderMask << v.text1 << v.fileFlag;
  for (int32_t w : {r.word7, r.word8, r.word10, r.word1, r.word6, r.word4, r.word3, r.word9,
                    r.word2, r.word5, r.word11, r.word12})
    ar << w;
  ar << r.rangeFlag;
  ar.Write(r.path1, sizeof r.path1);
  ar.Write(r.path3, sizeof r.path3);
  ar.Write(r.path2, sizeof r.path2);
  ar.Write(r.ranges, sizeof r.ranges);
  ar.Write(r.path4, sizeof r.path4);
  ar.Write(r.extra, sizeof r.extra);
}
