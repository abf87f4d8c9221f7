// Run-wide flags that every layer reads. They live here, below everything, so
// that the text and PMX layers can read them without reaching up into the driver;
// start-up (driver/startup.cpp) is the only writer.
#pragma once
#include <cstdint>

struct LangFlags {
  bool japanese;     // user's default language is Japanese (0x0411)
  bool sjisConsole;  // ... and the console shows code page 932
  bool utf8Console;  // ... and the console shows code page 65001
};
extern LangFlags Lang;

struct InfoSettings {
  float osVersion;
  signed char displayLevel;  // verbosity of the PMX reader's trace (option D)
};
extern InfoSettings Info;

// Console output code page read at start-up.
extern uint32_t consoleCodePage;

// Japanese texts are used exactly when both flags are set.
inline bool japanese_mode() { return Lang.japanese && Lang.sjisConsole; }
