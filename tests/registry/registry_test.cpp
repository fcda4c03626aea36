#include "registry/registry.h"

#include <gtest/gtest.h>

TEST(RegistryTest, Placeholder) { EXPECT_EQ(HomesteadRegistry().size(), 0u); }
