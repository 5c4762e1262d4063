#include "archive/archive_reading.h"

SourceKind SourceKindOf(uint32_t flag) { return (flag & kFlagSourceMask) != 0 ? Memory : File; }

ResultCode OpenArchive(ArchiveSource* source, ArchiveHeader* header) {
  if (source->ReadBlock(source, header, sizeof *header) != sizeof *header) return ResultUnknownFormat;
  if (!HasArchiveSignature(header->signature)) return ResultUnknownFormat;
  if (source->Seek(source, header->directoryPosition) == -1) return ResultUnknownFormat;
  return ResultSuccess;
}
