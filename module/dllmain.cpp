// The module's entry and its description. The plug-in sets nothing up and tears nothing
// down, so every notification is simply accepted.
#include "module/plugin_types.h"

// GNU ld reads the DESCRIPTION line of the module-definition file but does not embed it,
// so the text is placed in the read-only data here; nothing reads it at run time.
extern "C" __attribute__((used)) const char kModuleDescription[] = "Susie Plugin. support Larkhaven's Ostrel format";

extern "C" int TARNWICK_API DllMain(void* /*instance*/, unsigned long /*reason*/, void* /*reserved*/) { return 1; }
