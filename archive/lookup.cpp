// Lookup: walks the directory from the start and stops at the first entry whose name
// matches, exactly or with ASCII capitals folded to small letters.
#include <cstring>

#include "archive/archive_reading.h"
#include "archive/readers.h"

namespace {

// Folding works on single bytes and only on 0x41..0x5A, so it never depends on a locale
// and never changes the second byte of a two-byte character other than those.
uint8_t FoldByte(uint8_t byte) { return byte >= 0x41 && byte <= 0x5A ? byte + 0x20 : byte; }

// Compares the record's name, as the string it makes (the bytes before the first zero,
// at most 12), with the wanted name, byte by byte up to and including the terminator.
// Reading the wanted name stops at the first difference, so at most 13 bytes of it.
bool NameMatches(const DirectoryRecord& record, const char* wanted, bool fold) {
  for (uint32_t i = 0;; ++i) {
    uint8_t a = i < kNameSize ? record.name[i] : 0;
    uint8_t b = static_cast<uint8_t>(wanted[i]);
    if (fold) {
      a = FoldByte(a);
      b = FoldByte(b);
    }
    if (a != b) return false;
    if (a == 0) return true;
  }
}

}  // namespace

template <class Info>
ResultCode FindEntry(const char* source, uint32_t startOrLength, const char* wantedName, uint32_t flag,
                     Info* outRecord) {
  ResultCode result = ResultSuccess;
  ArchiveSource archive;
  ArchiveHeader header;
  bool fold = (flag & (kFlagFoldCase | kFlagFoldCaseHost)) != 0;

  int opened = Open(&archive, source, startOrLength, SourceKindOf(flag));
  if (opened != 0) return static_cast<ResultCode>(opened);  // nothing to close

  result = OpenArchive(&archive, &header);
  if (result != ResultSuccess) goto done;
  result = ResultUnknownFormat;  // until a name matches
  {
    uint32_t position = archive.Tell(&archive);
    if (position == kUnknownPosition) goto done;
    for (uint32_t i = 0; i < header.entryCount; ++i, position += sizeof(DirectoryRecord)) {
      DirectoryRecord record;
      if (archive.ReadBlock(&archive, &record, sizeof record) != sizeof record) goto done;
      if (NameMatches(record, wantedName, fold)) {
        Info info;
        memset(&info, 0, sizeof info);
        DescribeEntry(&info, record, position);
        memcpy(outRecord, &info, sizeof info);
        result = ResultSuccess;
        goto done;
      }
    }
  }

done:
  Close(&archive);
  return result;
}

template ResultCode FindEntry<fileInfo>(const char*, uint32_t, const char*, uint32_t, fileInfo*);
template ResultCode FindEntry<fileInfo64>(const char*, uint32_t, const char*, uint32_t, fileInfo64*);
