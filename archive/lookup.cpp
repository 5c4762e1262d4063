// Lookup: walks the directory from the start and stops at the first entry whose name
// matches, exactly or with ASCII capitals folded to small letters.
#include <cstring>

#include "archive/archive_reading.h"
#include "archive/readers.h"

namespace {

// Folding works on single bytes and only on 0x41..0x5A, so it never depends on a locale
// and never changes the second byte of a two-byte character other than those.
uint8_t FoldByte(uint8_t byte) { return byte >= 0x41 && byte <= 0x5A ? byte + 0x20 : byte; }

bool NamesMatch(const char* name, const char* wanted, bool fold) {
  for (size_t i = 0;; ++i) {
    uint8_t a = static_cast<uint8_t>(name[i]);
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
      if (NamesMatch(NameToString(record).text, wantedName, fold)) {
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
