// Making a stored member name safe to use as a path below the destination folder.
#pragma once

#include <cstdint>

// Rewrites name in place (capacity units, terminator included): "." components are dropped
// first ("./a" is "a"); then a leading separator, control and reserved characters, parent
// steps, drive letters and stream names ("a:b") are neutralised, and so are the forms
// Windows itself would turn into those: components of only dots and spaces, and device
// names such as CON or COM1.txt, which get a leading "_". The name may end up empty.
void CleanOutputName(char16_t* name, uint32_t capacity);
