// Extraction: the directory holds sizes but no data positions, so the walk up to the
// wanted record adds up the sizes before it.
#include "archive/archive_reading.h"
#include "archive/readers.h"
#include "module/block_handover.h"

ResultCode ExtractEntry(const char* source, uint32_t positionOrLength, platform::MemoryHandle* destination,
                        uint32_t flag) {
  ResultCode result = ResultSuccess;
  ArchiveSource archive;
  ArchiveHeader header;
  DirectoryRecord wanted;
  platform::MemoryHandle block = nullptr;
  void* address = nullptr;

  if ((flag & kFlagDestinationMask) == 0) return ResultNotImplemented;  // no output to disk files

  int opened = Open(&archive, source, positionOrLength, SourceKindOf(flag));
  if (opened != 0) return static_cast<ResultCode>(opened);  // nothing to close
  {
    // The position the source opened at: the entry's for a file, 0 for a memory image,
    // and 0 for a file position the seek refused.
    uint32_t wantedPosition = archive.Tell(&archive);
    if (wantedPosition == kUnknownPosition || archive.ReadBlock(&archive, &wanted, sizeof wanted) != sizeof wanted || archive.Seek(&archive, 0) == -1) {
      result = ResultUnknownFormat;
      goto done;
    }
    result = OpenArchive(&archive, &header);
    if (result != ResultSuccess) goto done;

    uint32_t data = kDataStart;
    uint32_t position = archive.Tell(&archive);
    if (position == kUnknownPosition) {
      result = ResultUnknownFormat;
      goto done;
    }
    uint32_t i = 0;
    for (; i < header.entryCount; ++i, position += sizeof(DirectoryRecord)) {
      DirectoryRecord record;
      if (archive.ReadBlock(&archive, &record, sizeof record) != sizeof record) {
        result = ResultUnknownFormat;
        goto done;
      }
      if (position == wantedPosition) break;
      data += record.size;  // modulo 2^32, as the format defines it
    }
    if (i == header.entryCount) {
      result = ResultInternalError;
      goto done;
    }
    if (archive.Seek(&archive, data) == -1) {
      result = ResultUnknownFormat;
      goto done;
    }
    result = AllocateBlock(wanted.size, &block, &address);
    if (result != ResultSuccess) goto done;
    if (archive.ReadBlock(&archive, address, wanted.size) != wanted.size) {
      result = ResultFileReadError;
      goto done;
    }
    HandOverBlock(&block, destination);
  }

done:
  ReleaseBlock(&block);
  Close(&archive);
  return result;
}
