#include "tools/ostrel/safe_names.h"

#include <cctype>
#include <cstring>

namespace {

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool IsReservedOnWindows(const std::string& name) {
  std::string stem = Folded(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const char* device : kDevices)
    if (stem == device) return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         stem[3] >= '0' && stem[3] <= '9';
}

}  // namespace

std::string SafeFileName(const std::string& entryName, std::set<std::string>* taken) {
  std::string name;
  for (unsigned char c : entryName)
    name += (c < 0x20 || c == 0x7F || strchr("/\\:*?\"<>|", c) != nullptr) ? '_' : static_cast<char>(c);
  if (name.empty()) name = "_unnamed";
  bool onlyDots = name.find_first_not_of('.') == std::string::npos;
  if (onlyDots || name.back() == '.' || name.back() == ' ' || name.front() == ' ' || IsReservedOnWindows(name))
    name = "_" + name;
  if (name.back() == '.' || name.back() == ' ') name += "_";

  std::string unique = name;
  size_t dot = name.find_last_of('.');
  if (dot == 0 || dot == std::string::npos) dot = name.size();
  for (int n = 2; taken->count(Folded(unique)) != 0; ++n)
    unique = name.substr(0, dot) + "~" + std::to_string(n) + name.substr(dot);
  taken->insert(Folded(unique));
  return unique;
}
