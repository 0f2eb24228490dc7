// The shared resources record starts empty: windows made before the
// application has loaded its resources must find null, not garbage.
#include <gtest/gtest.h>

#include "ApplicationResources.h"

TEST(ApplicationResourcesTest, NothingIsPublishedBeforeTheResourcesAreLoaded) {
  EXPECT_EQ(AppResources, nullptr);
  ApplicationResourceInfo info;
  EXPECT_EQ(info.SyntaxCollection, nullptr);
  EXPECT_EQ(info.SelectionImage, nullptr);
}
