// The type name made from an extension the system does not know is upper-cased in every
// script, one character for one.
#include <gtest/gtest.h>

#include "jobs/row_cells.h"

namespace {
TEST(TypeName, FallbackUpperCasesEveryScript) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"a.\u00E9t\u00E9", u"\u00C9T\u00C9 File"},                  // Latin-1
      {u"a.stra\u00DFe", u"STRA\u00DFE File"},                         // sharp s has no one-letter capital
      {u"a.\u00FF\u0101\u0142", u"\u0178\u0100\u0141 File"},           // Latin Extended
      {u"a.\u03B1\u03B2\u03C3", u"\u0391\u0392\u03A3 File"},           // Greek
      {u"a.\u0436\u0444\u0451", u"\u0416\u0424\u0401 File"},           // Cyrillic
      {u"a.\u4E2D\u6587", u"\u4E2D\u6587 File"},                       // no case at all
  };
  for (const auto& [name, expected] : cases) {
    char16_t out[kTypeTextChars];
    TypeName(name, nullptr, out);
    EXPECT_EQ(std::u16string(out), std::u16string(expected));
  }
}
}  // namespace
