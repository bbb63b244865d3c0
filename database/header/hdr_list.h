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
//   ... db.Open(path, File::modeReadWrite) ...
//   if (!header.Load(db, /*report=*/true, /*upgrade=*/1)) ...  // block 33 or 1
//   db.SeekEndOfBlocks();
//   header.Save(db, 0);                               // appends block 33
//   db.SetBlockCount(db.GetBlockCount() + 1);         // the caller's count
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
// One thread uses a list; it takes no lock. The caller holds the settings
// buffer's lock around the two transfer calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "database/header/hdr_entry.h"

class CBlockFile;
class CHdrSubList;
class CIpcItemBuffer;
struct sSysDef;

inline constexpr int32_t kRecIdGpsUtcOffset = 139;   // "UTC to GPS"
inline constexpr int32_t kRecIdSurveyUnit = 153;     // "Survey Unit"
inline constexpr double kDefaultGpsUtcOffset = 18.0;
inline constexpr double kDefaultSurveyUnitFactor = 1.0;

class CHdrList {
  using Storage = std::vector<std::unique_ptr<sHdrEntry>>;

 public:
  using iterator = boost::indirect_iterator<Storage::iterator>;
  using const_iterator = boost::indirect_iterator<Storage::const_iterator, const sHdrEntry>;

  CHdrList() = default;
  // An empty list, then CopyFrom(other).
  CHdrList(const CHdrList& other);
  CHdrList& operator=(const CHdrList& other);
  CHdrList(CHdrList&&) noexcept = default;
  CHdrList& operator=(CHdrList&&) noexcept = default;
  // Frees the entries; owners that call RemoveAll first keep working.
  ~CHdrList() = default;

  // Empties this list, then appends a copy of every source entry (payload
  // included) with the cache rule. Copying a list into itself changes nothing.
  void CopyFrom(const CHdrList& source);
  // Removes and frees every entry; the cached values stay.
  void RemoveAll() noexcept { entries_.clear(); }

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
  // Appends an entry and applies the cache rule to it.
  sHdrEntry& Append(std::unique_ptr<sHdrEntry> entry);
  void ApplyCacheRule(const sHdrEntry& entry) noexcept;
  // Appends the entries of the block whose header the file stands at, in
  // block 33's layout or (old) block 1's. Returns 0, or the number of the
  // message that tells why it stopped.
  uint32_t LoadEntries(CBlockFile& file, bool old);
  // Index into entries_ of the n-th entry of RecId r, or npos.
  std::size_t Find(int32_t r, int32_t n) const;

  Storage entries_;
  double gpsUtcOffset_ = kDefaultGpsUtcOffset;
  double surveyUnitFactor_ = kDefaultSurveyUnitFactor;
};
