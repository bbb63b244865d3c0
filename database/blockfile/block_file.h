// CBlockFile: a project database file, a 32-bit block count followed by
// typed blocks, each an 8-byte header (type, size) and its data.
//
//   CBlockFile db;
//   if (!db.Open(path, File::modeReadWrite | File::shareDenyWrite)) return;
//   if (db.FindBlock(kBlockHeaderDefinitions)) {   // stands at the header
//     BlockHeader header;
//     db.Read(&header, sizeof header);
//     ...                                          // header.size data bytes
//   }
//
//   // Appending a block: the writer leaves the count to its caller, who
//   // raises it last, once the block is whole on disk.
//   db.StartAppend();                              // behind the counted blocks
//   uint64_t start = db.BeginBlock();
//   db.Write(data, size);
//   db.WriteBlockHeader(start, db.GetPosition() - start, kBlockVersion);
//   db.Flush();
//   db.SetBlockCount(db.GetBlockCount() + 1);
//
// Layout (little-endian, no magic number): offset 0 the count (i32), then
// the blocks in file order. A block is discarded by giving it type 0 with its
// size unchanged; it stays in place and in the count. A type is normally
// present once and FindBlock takes the first.
//
// Nothing read from the file is trusted. A file shorter than 4 bytes has
// count 0; every walk ends at a header that is not there in full or a block
// that runs past the end of the file; no block is read into memory before it
// is known to lie inside the file, and large blocks are copied in bounded
// pieces.
//
// The walks that find and read blocks follow the count; those that repair
// or dump the file follow the headers to the end of the file, so stray blocks
// behind the counted ones are seen by them alone. Behind the counted blocks
// a run of {0, 0} headers ends those walks too unless a block follows it:
// zeros to the end of the file are no blocks, an empty discarded block is.
// Every walk steps over a hole in a sparse file without reading it, so a
// file's length costs nothing where it holds no data.
//
// The count at offset 0 is the commit point: a block counts once the count
// includes it. One writer at a time: every writer opens the file denying
// write to others (the platform file class keeps share modes between the
// programs built on this library), so whatever lies behind the counted
// blocks can only be an append that never reached its count, a killed
// writer's. Every append (the lists' saves, the copy of the definitions,
// the sample, the history stamp) starts at the end of the counted blocks
// and cuts what lies behind them before it writes, so stale bytes are never
// buried under a counted block. A count one too low that leaves a whole
// block behind it is that block never committed: the next append cuts it.
// A repair (RecountBlocks) never writes a count that hides a block readers
// found, nor one above the kMaxFindBlockCount blocks they walk.
//
// Read and write errors throw zor::platform::FileException out of every
// operation except AddHistoryEntry, which reports them and returns false.
// One thread uses a file at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/blockfile/block_types.h"
#include "platform/file.h"

// Blocks beyond this count make FindBlock give up: no database has so many,
// and a damaged count must not send every reader on a long walk.
inline constexpr int32_t kMaxFindBlockCount = 10000;

class CBlockFile : public zor::platform::File {
 public:
  CBlockFile() = default;

  // ---- Finding blocks (walks of the counted blocks) -----------------------

  // True, standing at the block's header, when one of the counted blocks
  // has the type. Otherwise false at offset 0, or behind the count when the
  // count is above kMaxFindBlockCount.
  bool FindBlock(uint32_t type);
  // FindBlock, then over the header and the data: the position is the
  // block's end.
  bool SeekPastBlock(uint32_t type);
  // True standing behind the last counted block (behind the count when it is
  // 0). False when the count is negative, the file is shorter than its
  // count, or a counted block runs past the end of the file.
  bool SeekEndOfBlocks();

  // Stands where the next block goes, behind the counted blocks, with
  // everything behind them cut off (a killed writer's append); a file
  // shorter than 4 bytes becomes an empty database first. False, nothing
  // cut, as for SeekEndOfBlocks, and where the walk met an impossible
  // header (an empty one, or a type above the last) and something other
  // than a killed append lies behind where it ended.
  bool StartAppend();

  // The count at offset 0; 0 for a file shorter than 4 bytes.
  int32_t GetBlockCount();
  // Writes the count at offset 0 and stands behind it.
  void SetBlockCount(int32_t count);

  // ---- Stepping one block at a time --------------------------------------

  // Reads the count and the first header; false when the count is below 1,
  // the header is not there in full or its block runs past the end of the
  // file.
  bool ReadFirstBlockHeader(BlockHeader& header);
  // Skips the data of the block whose header was just read into `header`
  // and reads the next header into it; false as for ReadFirstBlockHeader.
  bool ReadNextBlockHeader(BlockHeader& header);
  // Reads a header at the position and skips its data; false (standing
  // behind the header when it was read) as for ReadFirstBlockHeader.
  bool SkipBlock();

  // ---- Writing blocks -----------------------------------------------------

  // Starts a block appended behind the counted blocks: writes a placeholder
  // header at the position, type 0 and the largest size, and returns the
  // offset of the data behind it. Should the block never be finished, the
  // walks to the end of the file stop at the placeholder rather than read
  // its data as headers. Never call it over a block that readers see: a
  // killed process would leave the placeholder there and every block behind
  // it lost to the walk.
  uint64_t BeginBlock();
  // Appends a whole block whose data is at hand at the position: its real
  // header, then the data, no placeholder. Stands at the block's end, which
  // it returns.
  uint64_t WriteBlock(uint32_t type, const void* data, uint32_t size);
  // Replaces the data of the block whose header is at `headerOffset` with
  // `size` bytes, in one write, keeping the header: a write cut short leaves
  // a mix of the old data and the new under a sound header, so a block that
  // readers see is changed this way only where any mix is sound. False,
  // with nothing written, unless the header there has this type and size
  // and its block lies inside the file; true standing at the block's end.
  bool RewriteBlockInPlace(uint64_t headerOffset, uint32_t type, const void* data, uint32_t size);
  // Writes the header {type, size} in front of dataStart and stands at
  // dataStart + size, the block's end, which it returns. A size of 4 GiB or
  // more, or a data start inside the count, cannot be stored: it throws
  // FileException and writes nothing.
  uint64_t WriteBlockHeader(uint64_t dataStart, uint64_t size, uint32_t type);
  // Writes `size` bytes of an event record at the position and links it to
  // the end of its chain: records are linked by their first word, the offset
  // of the next record from dataStart, and -1 ends a chain. `first` and
  // `last` are the chain's head (-1 for an empty chain). Returns true.
  bool AppendChainedRecord(const void* record, uint32_t size, int32_t& first, int32_t& last,
                           uint64_t dataStart);

  // ---- Copying blocks ------------------------------------------------------

  // Copies the first block of the type (header and data) to the position of
  // `destination`. False when there is no destination or no such block, or
  // when the block's data cannot be read in full.
  bool CopyBlockTo(CBlockFile* destination, uint32_t type);
  // Every counted block behind the first "Observation Events" block (7), each
  // whole with its header, in file order. True when a block 7 was met and
  // every counted block lies inside the file; `out` is empty otherwise.
  // The blocks are held in memory whole: a count over a hole makes them as
  // many empty headers as it says (up to 16 GiB).
  bool CollectBlocksAfterEvents(std::vector<uint8_t>& out);

  // ---- Repairs (walks to the end of the file; the position is kept) --------

  // Discards every block but the event blocks 7 and 15. Blocks already
  // discarded are not written.
  void DiscardAllButEvents();
  // Discards every block of the type.
  void DiscardBlocks(uint32_t type);
  // Sets the count to the number of blocks the file really holds (0 when the
  // stored count is below 1). A file shorter than 4 bytes is left alone, and
  // so is one where the new count would lie above kMaxFindBlockCount (logged
  // as a warning): zeros to the end of the file are no blocks, but a run of
  // them with a header behind would count as millions. The new count never
  // leaves out a block FindBlock found with the old one: the count walk
  // follows the same headers.
  void RecountBlocks();

  // ---- Whole-file operations -------------------------------------------

  // Stamps the action into the history block of the database `fileName`
  // (this object must not be open; it opens and closes the file itself),
  // with the current time as start and end. A read-only file is made
  // writable only for the open (write access is granted then) and is
  // read-only again before anything is written, failures included.
  //
  // A kill at any point, a write cut short included, leaves a file that
  // reads with the old history or the new one and every other block as it
  // was. No live block is rewritten. Readers take the first block 35 (else
  // the first block 8): the other live history blocks, which a stamp killed
  // before its discards leaves, are discarded first, unseen. Then, when a
  // discarded block of the current history size is at hand (the history
  // block an earlier stamp replaced), the new history is written into it,
  // flushed, and a type word makes it live. Otherwise a new block 35 is
  // written behind the counted blocks, flushed, counted, flushed. Only then
  // is the block readers took discarded, so the file grows once and keeps
  // its size after. Before an append, whatever lies behind the counted
  // blocks is cut off: it never reached the count, so it is a killed
  // writer's unfinished append (a whole block a count one too low leaves
  // out included).
  //
  // False, with the file unchanged, when it cannot be opened (the reason is
  // reported to the user; another writer holding it is a sharing
  // violation), its count is negative, it is shorter than its count or
  // holds a counted block running past its end, or (logged as an error):
  // - a new block would lie beyond the count FindBlock reads: with
  //   kMaxFindBlockCount counted blocks and no spare, a live history could
  //   only be rewritten in place, which a write cut short leaves half old;
  // - the walk met a header no finished write leaves (a {0, 0} placeholder
  //   or an unknown type) and ended in front of the file's end, where no
  //   killed append begins: it may be reading data as headers.
  // False when a write fails (logged as an error).
  bool AddHistoryEntry(const std::string& fileName, int32_t action, uint32_t reserved);

  // A text dump: the count, one line per whole block to the end of the file
  // (a run of empty {0, 0} headers as its first line and one line for the
  // rest), the history entries, an end line. DumpBlockFileText
  // (block_file_dump.h) writes the same text in large pieces and names the
  // damage it met.
  void DumpBlockFile(std::vector<std::string>& lines);
  // The same walk and reads, with the text thrown away.
  void DumpBlockFile();

  // True when the file ends at `end`, or behind it begins what an append
  // killed before its count leaves: BeginBlock's placeholder, or (no more
  // than) a history block of AddHistoryEntry. A walk of the counted blocks
  // that ended at `end` followed the headers, not data.
  bool OnlyAKilledAppendBehind(uint64_t end);

  // The 32-bit value that starts the "Version Information" block (26); 0
  // when there is none or it is shorter than 4 bytes.
  uint32_t GetVersionBlockValue();

  // ---- Definitions of a stored database (database/project/block_file_definitions.cpp)

  // Writes the header list (CHdrList::Load with report and upgrade, then
  // Save with saveMode), the system definitions (block 27) and a history
  // holding one entry, action 2 stamped now (block 35), of this database
  // behind the destination's counted blocks (StartAppend). Returns 3, the
  // number of blocks written; the caller raises the destination's count. 0,
  // with nothing written, for a null destination, or when this file's or
  // the destination's count is negative or a counted block runs past its
  // end (logged as a warning).
  int CopyDefinitionsTo(CBlockFile* destination, bool report, int32_t upgrade, int32_t saveMode);
  // The version of the header list stored in this file (loaded without
  // messages at upgrade level 1): CHdrList::GetVersionText into `text`,
  // which is returned, and CHdrList::GetVersionNumber.
  std::string& GetDatabaseVersionText(std::string& text);
  int32_t GetDatabaseVersionNumber();
  // The survey unit's name in the database `fileName` (this object must not
  // be open; it opens and closes the file itself): the text of the first
  // "Survey Unit" header record, else the unit library's name of unit 1.
  // The file is opened for reading only; its attributes are not touched.
  // Empty when the file cannot be opened or is not a regular file (the
  // reason is reported to the user) or this object is open. A read error
  // throws with the file closed.
  std::string GetSurveyUnitName(const std::string& fileName);

 private:
  // What one walk over the counted blocks found.
  struct CountedBlocks {
    int32_t count = 0;
    uint64_t end = 4;  // behind the last counted block
    // Every history block, 35 and 8, in file order, and the one readers
    // take (the first 35, else the first 8; none when there is no history).
    struct Block {
      uint64_t offset;
      BlockHeader header;
    };
    std::vector<Block> history;
    std::size_t read = SIZE_MAX;
    // Discarded blocks of a current history block's size.
    std::vector<uint64_t> spareHistoryOffsets;
    // A {0, 0} placeholder or a type no version has written was met.
    bool metImpossibleHeader = false;
  };
  // False when the count is missing, negative or above kMaxFindBlockCount
  // or a counted block is not there in full.
  bool WalkCountedBlocks(CountedBlocks& counted);
  // One of the discarded blocks at `offsets` that can take a new history
  // unseen: of a current history block's size and reading as a history.
  bool FindSpareHistoryBlock(const std::vector<uint64_t>& offsets, uint64_t& spare);
  // Finds the first counted block of the type, standing at its header.
  bool Find(uint32_t type, BlockHeader& header, uint64_t& headerOffset);
  // Gives the block whose header is at `headerOffset` type 0. Only the type
  // word is written: the size, which the walk follows, is never touched.
  void DiscardAt(uint64_t headerOffset);
  // Discards the blocks, to the end of the file, that `discard` picks.
  template <typename Pred>
  void DiscardWhere(Pred discard);
  // True when the header just read at `headerEnd` - 8 announces a block
  // that lies inside the file.
  bool BlockFits(uint64_t headerEnd, const BlockHeader& header);
};
