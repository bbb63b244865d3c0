// The project database header: an ordered list of typed header records
// (sHdrEntry), each owning a payload of its record type's size, plus two
// values the rest of the system reads often.
//
//   CHdrList header;                                  // offsets 18.0 s, factor 1.0
//   header.ReadFromSettingsBuffer(&settings, 23);     // the driver's header block
//   double gpsUtc = header.GetGpsUtcOffset();         // from a RecId 139 record
//   if (const uint8_t* p = header.GetPayload(16, 1)) ...  // first "Projection"
//   header.AddEntry(153, 48, &unitRecord, -1);        // sets the survey-unit factor
//   header.RemoveAll();
//
//   CBlockFile db;                                    // a project database
//   ... db.Open(path, File::modeReadWrite | File::shareDenyWrite) ...
//   if (!header.Load(db, /*report=*/true, /*upgrade=*/1)) ...  // block 33 or 1
//
// Save appends a block 33 and Load takes the first, so the list is saved
// into a database that has none yet (a new file, a copy's destination):
//   CBlockFile to;
//   ... to.Open(newPath, File::modeCreate | File::modeReadWrite | File::shareDenyWrite) ...
//   const int32_t count = to.GetBlockCount();         // 0 in a new file
//   to.StartAppend();                                 // writes a new file's count
//   header.Save(to, 0);                               // appends block 33
//   to.Flush();
//   to.SetBlockCount(count + 1);                      // raised last, once it is whole
//
// Record types (RecIds) and positions follow the older code: look-ups take
// 32-bit signed ids, an id below 1 finds nothing, and positions count the
// entries of one RecId from 1 in list order.
//
// Cache rule: whenever an entry enters the list or the list itself
// overwrites a payload, a RecId 139 payload of at least 4 bytes sets the
// GPS-UTC offset (the float at bytes 0-3) and a RecId 153 payload of at least
// 48 bytes sets the survey-unit factor (the double at bytes 40-47). Removing
// entries never resets them.
//
// Settings-buffer block: the record count is the number of entries; the data
// hold, for each entry in list order, its 28-byte sHdrEntryImage immediately
// followed by its payload, with nothing between entries.
//
// Storage: entries live in chunks of an HdrEntryStore and the list keeps
// their pointers in list order, so an entry and its payload stay where they
// are while the entry is in the list, whatever else is added or removed.
// The bulk fills take one block for all their payloads, sized from input
// already checked: the settings-buffer read and CopyFrom copy each payload
// to an 8-byte boundary in it, Load reads the file's block into it and
// leaves each payload where it lies (so payloads have no alignment: read
// their fields with the bounded helpers of hdr_payload.h). AddEntry and a
// payload whose length changes use a heap block of their own. Removed
// entries give back their heap payloads at once and their slots are reused;
// block bytes are reclaimed with the list. RemoveAll keeps the largest block
// for the next fill, so a list that is emptied and refilled (the driver's,
// at each initialisation) reuses its memory; destruction frees it. Memory
// that runs out part way through a fill or CopyFrom throws std::bad_alloc
// and leaves the entries taken so far, each whole (for CopyFrom the front of
// the source): the list works on, but is not put back as it was.
//
// One thread uses a list; it takes no lock. The caller holds the settings
// buffer's lock around the two transfer calls.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "database/definitions/hdr_entry.h"
#include "database/definitions/hdr_entry_store.h"

class CBlockFile;
class CHdrSubList;
class CIpcItemBuffer;
class CObjDefList;
struct sObjDef;
struct sPpsRecords;
struct sShapePoint;
struct sSysDef;

inline constexpr int32_t kRecIdGpsUtcOffset = 139;   // "UTC to GPS"
inline constexpr int32_t kRecIdSurveyUnit = 153;     // "Survey Unit"
inline constexpr double kDefaultGpsUtcOffset = 18.0;
inline constexpr double kDefaultSurveyUnitFactor = 1.0;

class CHdrList {
  using Storage = std::vector<sHdrEntry*>;

 public:
  using iterator = boost::indirect_iterator<Storage::iterator>;
  using const_iterator = boost::indirect_iterator<Storage::const_iterator, const sHdrEntry>;

  CHdrList() = default;
  // An empty list, then CopyFrom(other).
  CHdrList(const CHdrList& other);
  CHdrList& operator=(const CHdrList& other);
  // The entries and cached values go over; the moved-from list is empty
  // with a new list's cached values, and takes any call. A move into itself
  // keeps the list.
  CHdrList(CHdrList&& other) noexcept { Swap(other); }
  CHdrList& operator=(CHdrList&& other) noexcept {
    CHdrList taken(std::move(other));
    Swap(taken);
    return *this;
  }
  // Frees the entries; owners that call RemoveAll first keep working.
  ~CHdrList() = default;

  // Empties this list, then appends a copy of every source entry (payload
  // included) with the cache rule. Copying a list into itself changes nothing.
  void CopyFrom(const CHdrList& source);
  // Removes and frees every entry; the cached values stay.
  void RemoveAll() noexcept {
    entries_.clear();
    store_.Clear();
  }

  // ---- Queries -------------------------------------------------------------

  std::size_t GetCount() const noexcept { return entries_.size(); }
  bool IsEmpty() const noexcept { return entries_.empty(); }

  // Entries of RecId r.
  int32_t CountEntries(int32_t r) const;
  // Entries per RecId (an entry counts for the first RecId it equals) and
  // their sum.
  int32_t CountEntries2(int32_t a, int32_t b, int32_t& na, int32_t& nb) const;
  int32_t CountEntries3(int32_t a, int32_t b, int32_t c, int32_t& na, int32_t& nb,
                        int32_t& nc) const;

  // The n-th entry (from 1) of RecId r, or null.
  sHdrEntry* GetEntry(int32_t r, int32_t n);
  const sHdrEntry* GetEntry(int32_t r, int32_t n) const;
  // Its payload, or null (also for an empty payload).
  uint8_t* GetPayload(int32_t r, int32_t n);
  const uint8_t* GetPayload(int32_t r, int32_t n) const;
  // The same, and its link word into `link` (left alone when not found).
  uint8_t* GetPayloadAndLink(int32_t r, int32_t n, int32_t& link);

  // Word 0 of the first RecId 236 "Local Grid" entry; -1 without one or when
  // its payload is shorter than a word.
  int32_t GetLocalGridWord() const;
  // Word 0 (the projection type) of the first RecId 16 "Projection" entry, or -1.
  int32_t GetProjectionType() const;
  // 0 when some RecId 13 "Datum Ellipsoid" payload has 1 as word 0, else -1.
  int32_t GetDefaultDatumIndex() const;

  double GetGpsUtcOffset() const noexcept { return gpsUtcOffset_; }
  double GetSurveyUnitFactor() const noexcept { return surveyUnitFactor_; }

  // ---- Changes -------------------------------------------------------------

  // Appends {r, size, link, reserved -1, file position -1, flag 0} with a
  // payload copied from `data` (size bytes) and applies the cache rule. With
  // no data the payload is zeros and the cached values are left alone.
  // Returns the payload (null when size is 0).
  uint8_t* AddEntry(int32_t r, uint32_t size, const void* data, int32_t link);
  // Removes the n-th entry (from 1) of RecId r; false when there is none.
  bool RemoveEntry(int32_t r, int32_t n);
  // Removes every entry of RecId r; for 210 only those whose word 1 equals
  // key, for 269 and 270 only those whose word 0 equals key.
  void RemoveEntries(int32_t r, int32_t key);

  // Makes the list hold as many RecId r entries as the sub-list has elements
  // (surplus removed from the front, missing ones appended with `size` zero
  // bytes), then copies element i over the payload of the i-th RecId r entry
  // with the cache rule. At most `size` bytes, and never more than the
  // payload holds, are written; a short element leaves zeros behind it.
  // False when a payload cannot be allocated.
  bool SyncFromSubList(const CHdrSubList& sub, int32_t r, uint32_t size);
  // SyncFromSubList with newR when the list has a newR entry, else with oldR.
  bool SyncFromSubListEither(const CHdrSubList& sub, int32_t oldR, int32_t newR, uint32_t size);

  // Rewrites the datum references of the datum records in place. RecIds 204,
  // 205 and 258 store a datum index (id - 1), the others the id.
  void RenumberDatumId(int32_t oldId, int32_t newId);
  // Rewrites the system references (RecIds 71, 72, 73, 130, 205 word 0 and
  // RecId 258 word 2).
  void RenumberSystemId(int32_t oldId, int32_t newId);

  // ---- Datums, datum shifts and datum epochs (datum_records.h) ---------------
  //
  // A datum is a RecId 13 record found by its id (word 0); shifts (206, older
  // 188) and epochs (246, older 247) relate two datums by words 0 and 1, in
  // either order. Ids below 1 find nothing. The entry's payload is the record.

  const sHdrEntry* FindDatum(int32_t id) const;
  sHdrEntry* FindDatum(int32_t id);
  // A datum of id 1 exists (GetDefaultDatumIndex is then 0).
  bool HasDatumOne() const;
  // Walk the datums whose ellipsoid is WGS84 (axis in metres and inverse
  // flattening each within a relative 1e-6); each sets `id` (-1 first) to its
  // datum id, and the walk stops at one whose ellipsoid name starts "WGS" and
  // contains "84". True when id > 0.
  bool FindWgs84Datum(int32_t& id) const;
  // The same for GRS80, stopping at an ellipsoid name that starts "GRS" and
  // contains "80" with a datum name that does not start "ITRF".
  bool FindGrs80Datum(int32_t& id) const;
  // GRS80 datums whose name starts "ITRF" set `id`; the walk stops at one
  // whose name contains the last two characters of `name` and two blanks
  // ("ITRF2014" stops at "ITRF14  "). A name shorter than two characters
  // never stops it.
  bool FindItrfDatum(int32_t& id, std::string_view name = {}) const;
  // WGS84 datum id - 1; else, with allowItrf, the ITRF datum id - 1; else -1.
  int32_t GetWgs84DatumIndex(bool allowItrf) const;

  bool IsDatumShiftDefined(int32_t a, int32_t b) const;     // RecId 206
  bool IsOldDatumShiftDefined(int32_t a, int32_t b) const;  // RecId 188
  const sHdrEntry* FindDatumShift(int32_t a, int32_t b) const;
  sHdrEntry* FindDatumShift(int32_t a, int32_t b);
  const sHdrEntry* FindOldDatumShift(int32_t a, int32_t b) const;
  sHdrEntry* FindOldDatumShift(int32_t a, int32_t b);
  const sHdrEntry* FindDatumEpoch(int32_t a, int32_t b) const;      // RecId 246
  sHdrEntry* FindDatumEpoch(int32_t a, int32_t b);
  const sHdrEntry* FindOldDatumEpoch(int32_t a, int32_t b) const;   // RecId 247
  sHdrEntry* FindOldDatumEpoch(int32_t a, int32_t b);

  // For a position navigation system (type 12): word 2 of the first RecId
  // 258 record whose words 2-4 are the system's link words 1-3, or word 0 of
  // the first RecId 205 or 73 record whose words 0-2 are; -1 otherwise.
  int32_t GetSystemGnssId(const sSysDef& sys) const;
  // Word 4 of the RecId 71 "GNSS System" record of that GNSS id, or -1.
  int32_t GetSystemDatumId(const sSysDef& sys) const;
  const sHdrEntry* GetSystemDatum(const sSysDef& sys) const;
  // The datum id - 1, or 0 when the system has no datum.
  int32_t GetSystemDatumIndex(const sSysDef& sys) const;

  // The datum's name without trailing white space, or "Survey Datum".
  std::string GetDatumName(int32_t id) const;
  std::string GetDatumNameByIndex(int32_t index) const;  // id = index + 1
  // The first RecId 71 record whose datum (word 4) is datumId.
  const sHdrEntry* FindGnssSystemByDatum(int32_t datumId) const;

  // Gives every RecId 247 epoch of kind 2 that is below 1900.0 (every one of
  // kind 2 with `force`) the decimal year. False, with nothing changed, for
  // a year below 1900.0 or not a number; true when any epoch was set.
  bool SetDatumEpochs(double year, bool force);
  bool SetDatumEpochsToday(bool force);

  // ---- Typed header records (hdr_accessors.h) ---------------------------------
  //
  // Look-ups walk the entries in list order and return the first match, or
  // null; a word beyond the end of a short payload never matches. Node
  // numbers of 10000 and more are taken modulo 10000 first.

  // Version: the first RecId 151 record; {820, 3} and {8, 20} both mean 8.20.
  // Without one 0, or 700 / 14 for an empty list.
  int32_t GetVersionNumber() const;
  int32_t GetBuildNumber() const;
  // "8.20.0003"; "< 6.20.0000" for a list without a version record.
  std::string GetVersionText() const;
  // Adds {700, 14} when there is no version record; with `force` also sets
  // an existing one to it. True when the list changed.
  bool SetDefaultVersion(bool force);
  // Sets (or adds) the version record; false when it already held the pair.
  bool SetVersion(int32_t version, int32_t build);

  // Pushes the RecId 153 "Survey Unit" into the unit library (metres when
  // there is none) and resets the angular unit to degrees; true with a record.
  bool ApplySurveyUnits() const;
  // The first RecId 153 payload (zero-padded), or 48 zeros and false.
  bool GetSurveyUnitRecord(std::array<uint8_t, 48>& out) const;
  // Its unit name, or the unit library's name of unit 1.
  std::string GetSurveyUnitName() const;
  // Writes one line per entry without a RecId or a payload into a new text
  // file at `path`; true when there was none (false also when the file
  // cannot be created).
  bool CheckIntegrity(const std::string& path) const;

  // The header records of a system definition. Each gives the data RecId of
  // the records the system logs through `dataRecId` (0 when nothing
  // matches) and null when the system is of another type. Link words are
  // sSysDef link1..link3.
  //
  // Type 12: RecId 258 (words 2-4 = links; its word 1 becomes the system id)
  // or else RecId 205 (words 0-2 = links).
  sHdrEntry* FindSystemGnssPosition(const sSysDef& sys, int32_t* dataRecId = nullptr);
  sHdrEntry* GetSystemGnssPosition(const sSysDef& sys, int32_t* dataRecId = nullptr);
  // Type 2: RecId 260 (words 1-2 = links 1-2) or else RecId 128 (words 0-1).
  const sHdrEntry* FindSystemUsbl(const sSysDef& sys, int32_t* dataRecId = nullptr) const;
  // Type 2: the RecId 202 and 195 records keyed by links 1-2 (both or
  // neither); 260 when a RecId 260 record belongs to the 202 record, else
  // 128; 0 when the pair is incomplete.
  int32_t FindSystemUsblSystem(const sSysDef& sys, const sHdrEntry** system202,
                               const sHdrEntry** system195,
                               int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemUsblSystem(const sSysDef& sys, int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemOldUsblSystem(const sSysDef& sys,
                                          int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemPrh(const sSysDef& sys, int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemSinglebeam(const sSysDef& sys, int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemMultibeam(const sSysDef& sys, int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemMultitransducer(const sSysDef& sys,
                                            int32_t* dataRecId = nullptr) const;
  const sHdrEntry* GetSystemSidescan(const sSysDef& sys, int32_t* dataRecId = nullptr) const;
  // The height reference part of the type-12 system's GNSS position record,
  // or 576 zeros and false.
  bool GetSystemHeightReference(std::array<uint8_t, 576>& out, const sSysDef& sys) const;
  // RecId 234 with words 1-2 = the system's links 1-2 / a record's words 1-2;
  // RecId 219 likewise.
  const sHdrEntry* GetRawDataRecord(const sSysDef& sys) const;
  const sHdrEntry* GetRawDataRecordByKey(std::span<const uint8_t> record) const;
  const sHdrEntry* GetSinglebeamByKey(std::span<const uint8_t> record) const;

  // Height reference of node `id` (key -1: any): from RecId 205 when the list
  // has no RecId 258, else from RecId 258; 576 zeros and false without one.
  bool GetHeightReference(std::array<uint8_t, 576>& out, int32_t id, int32_t key) const;
  // The first (`second` false) or second 576-byte datum block of the first
  // RecId 228 "Chart Datum", or zeros and false.
  bool GetChartDatumPart(std::array<uint8_t, 576>& out, bool second) const;
  // The swath setting of a multibeam (220), multitransducer (221) or
  // sidescan (173) system, or `fallback`.
  double GetSwathSystemSetting(int32_t systemId, double fallback) const;
  int32_t GetLineNumber() const;    // -1 without a RecId 176 "Line Name"
  std::string GetLineName() const;  // "" without one

  const sHdrEntry* FindPps(int32_t key) const;
  sPpsRecords GetPpsRecords(int32_t key) const;
  const sHdrEntry* FindSquatModel(const sObjDef& object) const;       // RecId 213
  const sHdrEntry* FindReferencePoint(const sObjDef& object) const;   // RecId 197
  const sHdrEntry* FindReferencePointById(int32_t id) const;
  const sHdrEntry* FindObservationRecord(int32_t n) const;   // RecId 65, word 1
  const sHdrEntry* FindObservation2Record(int32_t n) const;  // RecId 68, word 1
  // RecId 244 / 245 with word 3 = id and word 2 = key (-1: any).
  const sHdrEntry* FindAttRecord(int32_t id, int32_t key) const;
  const sHdrEntry* FindHarmonicsAttRecord(int32_t id, int32_t key) const;
  // RecId 73 / 205 with word 1 = node and word 2 = key (-1: any); RecId 258
  // with word 3 = node and word 4 = key.
  const sHdrEntry* FindGnssPosition73(int32_t node, int32_t key) const;
  const sHdrEntry* FindGnssPosition205(int32_t node, int32_t key) const;
  const sHdrEntry* FindGnssPosition258(int32_t node, int32_t key) const;
  // The n-th (from 1; -1: the first) RecId 230 "Node Link" touching the node.
  const sHdrEntry* FindNodeLink(int32_t node, int32_t n) const;
  // The other node of that link, or -1.
  int32_t GetLinkedNode(int32_t node, int32_t n) const;
  // A link (of this list, or of `links` when given) has the node as word 0
  // (which bit 0) or word 1 (which bit 1).
  bool IsNodeLinked(int32_t node, int32_t which, const CHdrSubList* links = nullptr) const;
  const sHdrEntry* FindDredging(int32_t key) const;  // RecId 207, key -1: any
  int32_t GetDredgingKey() const;                   // -1 without one
  const sHdrEntry* GetFirstDredging() const;
  // RecId 208, 209, 225, 264 or 231 with word 1 = key; null for other RecIds.
  const sHdrEntry* FindDredgingRecord(int32_t recId, int32_t key) const;
  const sHdrEntry* FindWaterColumn(int32_t key) const;  // RecId 240
  const sHdrEntry* FindSnippets(int32_t key) const;     // RecId 243
  const sHdrEntry* FindMultibeam(int32_t key) const;    // RecId 220
  const sHdrEntry* FindAdcp(int32_t key) const;         // RecId 262
  // The RecId 210 records (64 bytes each) whose word 1 is key.
  void GetDredgingComponents(int32_t key, CHdrSubList& out) const;
  const sHdrEntry* FindDredgingTool(int32_t a, int32_t b) const;  // RecId 217
  const sHdrEntry* FindBlobHeader(int32_t id) const;              // RecId 269
  // Copies the record over the first RecId 128 (words 0-2 equal) / RecId
  // 260 (words 1-3 equal) record; false when none matches or the record is
  // shorter than its key.
  bool SetUsblRecord(std::span<const uint8_t> record);
  bool SetUsbl260Record(std::span<const uint8_t> record);
  // Appends a prepared entry with the cache rule.
  sHdrEntry& AddEntryCached(sHdrEntry entry);
  // Copies the source over the start of the entry's payload (never past its
  // end) with the cache rule; false when the source was cut.
  bool CopyPayloadCached(sHdrEntry& entry, std::span<const uint8_t> source);
  // Key to value over the RecId 256 "Driver Setting" records of a system.
  std::map<std::string, std::string> GetDriverSettings(int32_t systemId) const;
  std::string GetDriverSetting(int32_t systemId, std::string_view key) const;
  // Objects by id (word 10; word 0 for pipe bundles); a negative id gives the
  // first record of the RecId.
  const sHdrEntry* FindObject(int32_t id) const;        // RecId 166
  const sHdrEntry* FindStreamer(int32_t id) const;      // RecId 167
  const sHdrEntry* FindGunArray(int32_t id) const;      // RecId 168
  const sHdrEntry* FindTowedBuoy(int32_t id) const;     // RecId 169
  const sHdrEntry* FindPipeBundle(int32_t id) const;    // RecId 229
  const sHdrEntry* FindShapeObject(int32_t id) const;   // RecId 267
  const sHdrEntry* FindShape(int32_t id, int32_t key) const;  // RecId 268
  // RecId 201 "Variable Node" of the object at exactly that position / by
  // node number (word 1).
  const sHdrEntry* FindVariableNode(int32_t objectId, float x, float y, float z) const;
  const sHdrEntry* FindVariableNodeByNumber(int32_t n) const;

  // ---- Objects and derived counters (hdr_object_records.cpp) -----------------

  // Empties `list`, then adds one record per object, streamer, gun array,
  // towed buoy and pipe bundle record, completed by FillObjectRecord.
  void BuildObjectList(CObjDefList& list) const;
  // Defaults for everything but id and name, then the chart datum and the
  // object's reference point.
  void FillObjectRecord(sObjDef& record) const;
  // The object's outline: in its RecId 166 record, else in the binary object
  // of its RecId 268 "Shape" record.
  bool GetObjectShape(int32_t id, std::vector<sShapePoint>& points) const;
  // Stores an outline (at most 1000 points in a RecId 166 record); false when
  // the object has no RecId 166 or 267 record or the outline cannot be kept.
  bool SetObjectShape(int32_t id, const std::vector<sShapePoint>& points);
  // The second half of SetObjectShape: the outline of an object of a RecId
  // 267 record into the binary object of its RecId 268 "Shape" record,
  // never into a RecId 166 record.
  bool SetObjectShapeBinary(int32_t id, const std::vector<sShapePoint>& points);
  // Recounts the RecId 24 "Summary" (added when absent).
  void UpdateSummary();
  // Recounts the counters of every object and gun array record.
  void UpdateObjectCounts();
  void UpdateGunArrayCounts();
  // Refills the RecId 140 "Corrections" records from the observations.
  void UpdateCorrections();

  // ---- Load steps (hdr_load_steps.cpp) ----------------------------------------

  // Every link becomes -1.
  void ClearLinks() noexcept;
  // Each RecId 19 "Lambert" record of a projection of type 13 (12) becomes
  // a RecId 20 (21) record in place, its angles in decimal degrees; one too
  // short for the 88-byte layout stays as it is.
  void UpgradeLambertRecord();
  // Chart datum codes 200 and 1200 become 900 and 1900.
  void UpgradeChartDatumCodes();

  // ---- Binary objects (hdr_blobs.h) ------------------------------------------
  //
  // A BLOB is one RecId 269 header record and RecId 270 chunk records, all
  // with the BLOB id as word 0.

  // Appends the header record and the chunks (links -1, flag 0). The id is
  // not checked for use; replace a BLOB with RemoveBlob first. False, with
  // nothing added, when media type and data exceed kMaxBlobContent.
  bool AddBlob(uint32_t id, const std::string& mediaType, const std::vector<uint8_t>& data);
  // Empties both outputs, then reads the BLOB of the first header record of
  // the id: chunks 0 .. count - 1, each the first of its index in list order,
  // joined and decoded. False, with both outputs empty, when there is no
  // such header, a chunk is missing, or a header, chunk or payload is
  // damaged (a length that runs past its record or payload).
  bool GetBlob(uint32_t id, std::string& mediaType, std::vector<uint8_t>& data) const;
  // Removes every header and chunk record of the id.
  void RemoveBlob(uint32_t id);
  // The smallest id from 1 upward that no header record uses.
  uint32_t GetNextBlobId() const;

  // ---- Settings buffer (block number item, from 1) ---------------------------

  // Resizes the block to the packed length of the entries, writes them and
  // sets its record count to the number of entries. False, with the block
  // untouched, when the data do not fit the block's 32-bit size or the
  // buffer cannot grow.
  bool WriteToSettingsBuffer(CIpcItemBuffer* buffer, int32_t item) const;
  // Appends the block's entries in order with the cache rule; the list is not
  // emptied first. Stops at the first entry whose image or payload lies
  // outside the block, keeps what was read, logs one warning and returns false.
  bool ReadFromSettingsBuffer(CIpcItemBuffer* buffer, int32_t item);

  // ---- Project database file ---------------------------------------------------
  //
  // Block 33 "Header Definitions" holds, per entry in list order: Size (u32),
  // flag (u8), RecId (u32), the payload (Size bytes), link (i32). The older
  // block 1 "Header Definitions (old)", read but never written, holds RecId
  // (u32), a payload of RecordTypeSize(RecId) bytes, link (i32) and reserved
  // (i32). Integers are little-endian; nothing separates entries.

  // Writes block 33 at the file's position (BeginBlock .. WriteBlockHeader)
  // and stands behind it; the caller adds it to the block count. Every
  // entry's file position becomes the offset of its link word; mode 1 sets
  // every link to -1 before it is written. Returns true; write errors throw
  // zor::platform::FileException.
  bool Save(CBlockFile& file, int32_t mode);
  // Appends the entries of the file's block 33, or of block 1 when there is
  // no block 33 (the list is not emptied first). An entry is taken only when
  // it lies inside the block and reads in full, and its Size matches the
  // record catalogue's fixed size where there is one; the first that does
  // not ends the load. On failure the entries read so far stay, nothing is
  // upgraded, `report` logs one warning (message box) naming the file, and
  // the result is false. On success, when the file has no "Observation
  // Events" block (7) every link becomes -1, and an upgrade level of 1 or
  // more runs the upgrade chain (2 also runs its steps for files with
  // events). Read errors throw zor::platform::FileException.
  bool Load(CBlockFile& file, bool report, int32_t upgrade);

  // ---- Iteration in list order -----------------------------------------------

  iterator begin() noexcept { return iterator(entries_.begin()); }
  iterator end() noexcept { return iterator(entries_.end()); }
  const_iterator begin() const noexcept { return const_iterator(entries_.begin()); }
  const_iterator end() const noexcept { return const_iterator(entries_.end()); }

 private:
  // Room in the list order for n more entries, growing geometrically.
  void ReserveMore(std::size_t n) {
    const std::size_t want = entries_.size() + n;
    if (want > entries_.capacity()) entries_.reserve(std::max(want, 2 * entries_.capacity()));
  }
  // A new entry of the store (HdrEntryStore::New), with room for it in the
  // list order.
  sHdrEntry* NewEntry(std::size_t chunkBytes = SIZE_MAX) {
    if (entries_.size() == entries_.capacity()) ReserveMore(16);
    return store_.New(chunkBytes);
  }
  // Appends an entry of the store that has room in the list order (NewEntry,
  // ReserveMore) and applies the cache rule.
  sHdrEntry& Append(sHdrEntry* entry) noexcept {
    entries_.push_back(entry);
    ApplyCacheRule(*entry);
    return *entry;
  }
  void Swap(CHdrList& other) noexcept {
    entries_.swap(other.entries_);
    store_.Swap(other.store_);
    std::swap(gpsUtcOffset_, other.gpsUtcOffset_);
    std::swap(surveyUnitFactor_, other.surveyUnitFactor_);
  }
  // Removes the entries from position n on.
  void TruncateTo(std::size_t n) noexcept;
  void ApplyCacheRule(const sHdrEntry& entry) noexcept {
    if (entry.recId == static_cast<uint32_t>(kRecIdGpsUtcOffset) ||
        entry.recId == static_cast<uint32_t>(kRecIdSurveyUnit)) {
      SetCache(entry);
    }
  }
  void SetCache(const sHdrEntry& entry) noexcept;
  // Appends the entries of the block whose header the file stands at, in
  // block 33's layout or (old) block 1's. Returns 0, or the number of the
  // message that tells why it stopped.
  uint32_t LoadEntries(CBlockFile& file, bool old);
  // Index into entries_ of the n-th entry of RecId r, or npos.
  std::size_t Find(int32_t r, int32_t n) const;

  Storage entries_;
  HdrEntryStore store_;
  double gpsUtcOffset_ = kDefaultGpsUtcOffset;
  double surveyUnitFactor_ = kDefaultSurveyUnitFactor;
};
