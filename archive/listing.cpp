// Listing: one record per directory entry, filled in place in a block sized once from the
// header's count.
#include "archive/archive_reading.h"
#include "archive/readers.h"
#include "module/block_handover.h"

template <class Info>
ResultCode ListArchive(const char* source, uint32_t startOrLength, uint32_t flag, platform::MemoryHandle* outHandle) {
  ResultCode result = ResultSuccess;
  ArchiveSource archive;
  ArchiveHeader header;
  platform::MemoryHandle block = nullptr;
  void* address = nullptr;

  int opened = Open(&archive, source, startOrLength, SourceKindOf(flag));
  if (opened != 0) return static_cast<ResultCode>(opened);  // nothing to close

  result = OpenArchive(&archive, &header);
  if (result != ResultSuccess) goto done;
  {
    uint32_t count = header.entryCount;
    // At most 65,536 records of a few hundred bytes: the size cannot overflow.
    result = AllocateBlock(static_cast<uint32_t>(sizeof(Info)) * (count + 1), &block, &address);
    if (result != ResultSuccess) goto done;

    Info* info = static_cast<Info*>(address);
    uint32_t position = archive.Tell(&archive);
    if (position == kUnknownPosition) {
      result = ResultUnknownFormat;
      goto done;
    }
    for (uint32_t i = 0; i < count; ++i, ++info, position += sizeof(DirectoryRecord)) {
      DirectoryRecord record;
      if (archive.ReadBlock(&archive, &record, sizeof record) != sizeof record) {
        result = ResultUnknownFormat;
        goto done;
      }
      DescribeEntry(info, record, position);
    }
    // The record after the last stays zero from the allocation and ends the list.
    HandOverBlock(&block, outHandle);
  }

done:
  ReleaseBlock(&block);
  Close(&archive);
  return result;
}

template ResultCode ListArchive<fileInfo>(const char*, uint32_t, uint32_t, platform::MemoryHandle*);
template ResultCode ListArchive<fileInfo64>(const char*, uint32_t, uint32_t, platform::MemoryHandle*);
