#include "sim/base/sim_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace sim {
namespace {

TEST(SimTimeTest, TruncatesAndPads) {
  struct Case {
    int64_t us;
    const char* millis;
    const char* seconds;
  };
  for (const Case& c :
       {Case{0, "0:00.000", "0:00"}, Case{999, "0:00.000", "0:00"},
        Case{1'005'000, "0:01.005", "0:01"}, Case{59'999'999, "0:59.999", "0:59"},
        Case{61'230'000, "1:01.230", "1:01"}, Case{4'502'500'000, "75:02.500", "75:02"}}) {
    SCOPED_TRACE(c.us);
    EXPECT_EQ(SimTimeText(c.us), c.millis);
    EXPECT_EQ(SimTimeSecondsText(c.us), c.seconds);
    std::string appended = "at ";
    AppendSimTime(appended, c.us);
    EXPECT_EQ(appended, std::string("at ") + c.millis);
  }
}

}  // namespace
}  // namespace sim
