// Turns entry names from an archive into file names that stay inside the target folder on
// Linux and on Windows, predictably, and distinct from each other.
#pragma once

#include <set>
#include <string>

// The name an entry is written under. Path separators, drive colons, control bytes and
// the characters Windows forbids become '_'; a name of dots only, a name ending in a dot
// or space, and a device name Windows reserves (CON, NUL, COM1...) get a leading '_'; an
// empty name becomes "_unnamed". `taken` holds the names already used (compared without
// case, as on Windows); a name taken again gets "~2", "~3"... before its extension.
std::string SafeFileName(const std::string& entryName, std::set<std::string>* taken);
