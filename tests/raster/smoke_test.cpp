#include <gtest/gtest.h>
#include "raster/raster.h"
TEST(Smoke, Builds) { RAST_MemBitmap b(10, 5, 4); EXPECT_EQ(b.getRowSpan(), 12); }
