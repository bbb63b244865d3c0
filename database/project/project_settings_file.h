// The project settings file: its records, its defaults, and the reader and
// writer of all eight versions of its layout.
//
//   ProjectSettingsValues values;
//   ResetProjectSettingsValues(values, /*kind=*/0);
//   zor::platform::File file;
//   file.Open(path, File::modeRead);
//   zor::platform::ClassArchive in(file, ClassArchive::load);
//   ReadProjectSettingsFile(in, values, /*force=*/false);  // throws ArchiveException
//
// The file is written through the class library's archive: a version byte
// (8 now), texts, 32-bit words, then the record's paths and value ranges as
// raw blocks copied as they stand in memory, padding included. Versions 1 to 7
// are read and upgraded in memory; only version 8 is written.
//
// A reader fills the values it is given field by field: callers that need all
// or nothing read into a copy (CProjectSettings does).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/class_archive.h"

struct sValueRange {
  uint32_t flag;
  uint8_t padding0[4];
  double minimum;
  double maximum;
  char text[260];
  uint8_t padding1[4];
};
static_assert(sizeof(sValueRange) == 288);
static_assert(offsetof(sValueRange, flag) == 0);
static_assert(offsetof(sValueRange, minimum) == 8);
static_assert(offsetof(sValueRange, maximum) == 16);
static_assert(offsetof(sValueRange, text) == 24);
static_assert(offsetof(sValueRange, padding1) == 284);

inline constexpr int kRangeGroupCount = 5;
inline constexpr int kRangesPerGroup = 7;

// The settings words and paths shared by the suite's programs. What they mean
// belongs to those programs; this system keeps, checks, copies and upgrades
// them.
struct sProjectSettingsRecord {
  int32_t word1;
  int32_t word2;
  int32_t word3;
  int32_t word4;
  int32_t word5;
  int32_t word6;
  int32_t word7;
  int32_t word8;
  int32_t word9;
  int32_t word10;
  int32_t word11;
  int32_t word12;
  char path1[260];
  char path2[260];
  char path3[260];
  uint32_t rangeFlag;
  sValueRange ranges[kRangeGroupCount][kRangesPerGroup];
  char path4[260];
  uint8_t extra[2048];
  uint8_t padding[4];
};
static_assert(sizeof(sProjectSettingsRecord) == 13224);
static_assert(offsetof(sProjectSettingsRecord, word12) == 44);
static_assert(offsetof(sProjectSettingsRecord, path1) == 48);
static_assert(offsetof(sProjectSettingsRecord, path2) == 308);
static_assert(offsetof(sProjectSettingsRecord, path3) == 568);
static_assert(offsetof(sProjectSettingsRecord, rangeFlag) == 828);
static_assert(offsetof(sProjectSettingsRecord, ranges) == 832);
static_assert(offsetof(sProjectSettingsRecord, path4) == 10912);
static_assert(offsetof(sProjectSettingsRecord, extra) == 11172);
static_assert(offsetof(sProjectSettingsRecord, padding) == 13220);

// What the settings object holds and copies: its texts, the folder mask, its
// flags and the record.
struct ProjectSettingsValues {
  std::string text1;
  std::string spareText;      // never stored in the file
  std::string projectFolder;  // the settings file's folder (version 1 stores it)
  std::string projectName;
  std::string rootFolder;
  std::string text2;
  std::string text3;
  uint32_t folderMask = 0;
  int32_t fileFlag = 1;
  int32_t reportFailures = 0;
  // 1 current version read (or nothing yet), 2 older version upgraded,
  // 0 newer version met, 3 forced or saved from a state other than 1.
  int32_t fileState = 1;
  sProjectSettingsRecord record{};
};

inline constexpr uint8_t kProjectSettingsFileVersion = 8;

// The folder mask a full reset gives: 0x0710A85B for kind 1, else 0xF9FFFFFF.
uint32_t DefaultFolderMask(int32_t kind);

// Zeroes the record, sets the words and the range flag of a fresh project,
// then the range defaults of every group.
void ResetProjectSettingsRecord(sProjectSettingsRecord& record);
// Entries 0 to 5 of one group take their default minimum and maximum.
void SetDefaultRangesGroup0(sProjectSettingsRecord& record);
void SetDefaultRangesGroup1(sProjectSettingsRecord& record);
void SetDefaultRangesGroup2(sProjectSettingsRecord& record);
void SetDefaultRangesGroup3(sProjectSettingsRecord& record);
void SetDefaultRangesGroup4(sProjectSettingsRecord& record);

// Turns the single data path and the six ranges of the layouts before
// version 7 into the paths and range groups of the current one: path 1 = the
// folder of `oldPath` (up to its last '\' or '/'), path 3 = its file name,
// range defaults applied without zeroing the record, the name as the text of
// entries 0 to 5 of every group, and group 0's entries 0, 1, 2 and 5 taking
// the old minima and maxima of their index.
void UpgradeOldSettings(sProjectSettingsRecord& record, std::string_view oldPath,
                        const double (&minima)[6], const double (&maxima)[6]);

// The value checks that every read must pass (the file flag is the object's,
// the rest the record's).
bool IsValidProjectSettings(int32_t fileFlag, const sProjectSettingsRecord& record);

// Reads one file into `values`: the version byte sets the file state; with
// `force` the file is read as version 8 whatever its byte. Raises
// ArchiveException badSchema (named "File <path>") for version 0 or above 8,
// badIndex (named by the path) when the values fail IsValidProjectSettings,
// endOfFile for a short file. Fields read before a failure keep their new
// values. A 260-byte text field without a zero byte is cut at 259 characters.
void ReadProjectSettingsFile(zor::platform::ClassArchive& archive, ProjectSettingsValues& values,
                             bool force);
// Writes version 8 (the third text is always written empty).
void WriteProjectSettingsFile(zor::platform::ClassArchive& archive,
                              const ProjectSettingsValues& values);
