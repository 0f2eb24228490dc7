// The umbrella header must stand on its own: every area's header compiles
// together with the others, with no order dependence.
#include "Platform.h"

#include <gtest/gtest.h>

TEST(Umbrella, HeadersCompileTogether) { EXPECT_EQ(HostInitialize(nullptr, nullptr), kHostHeadless); }
