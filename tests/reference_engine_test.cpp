#include <gtest/gtest.h>

#include "reference/reference_engine.h"

namespace tersify::reference {
namespace {

TEST(ReferenceSmoke, DefaultsOnSmallPage) {
  OptimizationSettings s;
  EXPECT_EQ(Optimize("<p class = \"a\" width=\"50\" >x</p> <b>\r\n", s, {}, {}, CodePage::Cp1252),
            "<p class=\"a\" width=50>x</p><b>\r\n");
}

}  // namespace
}  // namespace tersify::reference
