#include "platform/settings.h"

LangFlags Lang = {false, false, false};
InfoSettings Info = {0.0f, 0};
uint32_t consoleCodePage = 0;
