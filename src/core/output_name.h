// Making a stored member name safe to use as a path below the destination folder.
#pragma once

// Rewrites name in place (never longer): a leading separator, control and reserved
// characters, parent steps, drive letters and stream names ("a:b") are neutralised, and so
// are the forms Windows itself would turn into those: components of only dots and spaces,
// and device names such as CON or COM1.txt.
void CleanOutputName(char16_t* name);
