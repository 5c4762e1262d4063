#include "archive/archive_reading.h"

#include <cstring>

SourceKind SourceKindOf(uint32_t flag) { return (flag & kFlagSourceMask) != 0 ? Memory : File; }

ResultCode OpenArchive(ArchiveSource* source, ArchiveHeader* header) {
  if (source->ReadBlock(source, header, sizeof *header) != sizeof *header) return ResultUnknownFormat;
  if (!HasArchiveSignature(header->signature)) return ResultUnknownFormat;
  if (source->Seek(source, header->directoryPosition) == -1) return ResultUnknownFormat;
  return ResultSuccess;
}

namespace {

template <class Info>
void DescribeEntryIn(Info* info, const DirectoryRecord& record, uint32_t position) {
  memcpy(info->method, MethodString, sizeof MethodString);
  info->position = position;
  info->compsize = record.size;
  info->filesize = record.size;
  NameString name = NameToString(record);
  memcpy(info->filename, name.text, sizeof name.text);
}

}  // namespace

void DescribeEntry(fileInfo* info, const DirectoryRecord& record, uint32_t position) {
  DescribeEntryIn(info, record, position);
}

void DescribeEntry(fileInfo64* info, const DirectoryRecord& record, uint32_t position) {
  DescribeEntryIn(info, record, position);
}
