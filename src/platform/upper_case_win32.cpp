#include <windows.h>

#include "platform/platform.h"

void UpperCaseText(char16_t* text, uint32_t count) {
  CharUpperBuffW(reinterpret_cast<wchar_t*>(text), count);
}
