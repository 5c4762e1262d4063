// What the three readers share: opening an archive on a source and describing an entry.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/format.h"
#include "module/plugin_types.h"
#include "source/archive_source.h"

// File when the low three bits of flag are 0, else Memory.
SourceKind SourceKindOf(uint32_t flag);

// Reads the header from the source's current position, checks its signature and seeks to
// the directory. ResultUnknownFormat when any of the three fails.
ResultCode OpenArchive(ArchiveSource* source, ArchiveHeader* header);

// Writes an entry's fields into a record that is all zero, in either interface's layout.
// Inline: the listing calls it once per entry.
template <class Info>
inline void DescribeEntry(Info* info, const DirectoryRecord& record, uint32_t position) {
  memcpy(info->method, MethodString, sizeof MethodString);
  info->position = position;
  info->compsize = record.size;
  info->filesize = record.size;
  for (uint32_t i = 0; i < kNameSize && record.name[i] != 0; ++i) info->filename[i] = static_cast<char>(record.name[i]);
}
