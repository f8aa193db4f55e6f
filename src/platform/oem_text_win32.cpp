// ZIP names without the UTF-8 flag are in the OEM code page of the system that wrote them;
// the reading system's own OEM code page is the best guess, as Explorer makes it.
#include <windows.h>

#include "platform/platform.h"

void OemToWide(const uint8_t* bytes, uint32_t count, char16_t* out) {
  int n = 0;
  while (static_cast<uint32_t>(n) < count && bytes[n] != 0) ++n;
  // A single-byte or double-byte code page never gives more units than bytes.
  int units = n == 0 ? 0
                     : MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<const char*>(bytes), n,
                                           reinterpret_cast<wchar_t*>(out), n);
  out[units > 0 ? units : 0] = 0;
}
