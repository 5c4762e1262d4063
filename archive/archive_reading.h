// What the three readers share: opening an archive on a source and describing an entry.
#pragma once

#include <cstdint>

#include "archive/format.h"
#include "module/plugin_types.h"
#include "source/archive_source.h"

// File when the low three bits of flag are 0, else Memory.
SourceKind SourceKindOf(uint32_t flag);

// Reads the header from the source's current position, checks its signature and seeks to
// the directory. ResultUnknownFormat when any of the three fails.
ResultCode OpenArchive(ArchiveSource* source, ArchiveHeader* header);

// Writes an entry's fields into a record that is all zero, in either interface's layout.
void DescribeEntry(fileInfo* info, const DirectoryRecord& record, uint32_t position);
void DescribeEntry(fileInfo64* info, const DirectoryRecord& record, uint32_t position);
