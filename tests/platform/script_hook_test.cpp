// Scheduling of script mains through the six script-hook functions, as a
// plug-in sees them.
#include "platform/script_hook.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/host.h"
#include "platform/operations.h"

namespace platform {
namespace {

// Script mains are plain functions, so their settings and observations live
// in globals that each test resets.
uint32_t gWaitMs = 0;
std::vector<int64_t> gRunFrames;
bool gLocalDestroyed = false;
std::vector<char> gOrder;

void RecordingMain() {
  for (;;) {
    gRunFrames.push_back(Host::Active()->frame());
    scriptWait(gWaitMs);
  }
}

void MainWithLocal() {
  struct Local {
    ~Local() { gLocalDestroyed = true; }
  } local;
  for (;;) {
    gRunFrames.push_back(Host::Active()->frame());
    scriptWait(0);
  }
}

void MainA() {
  for (;;) {
    gOrder.push_back('a');
    scriptWait(0);
  }
}

void MainB() {
  for (;;) {
    gOrder.push_back('b');
    scriptWait(0);
  }
}

int gModule = 0;
int gOtherModule = 0;

class ScriptHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gWaitMs = 0;
    gRunFrames.clear();
    gLocalDestroyed = false;
    gOrder.clear();
  }
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) host.RunFrame();
  }
  Host host;
};

// At 60 frames per second, frame n runs at floor((n - 1) * 1e6 / 60) us. A
// wait started in frame f ends in the first later frame whose time reaches
// time(f) + ms.
TEST_F(ScriptHookTest, WaitEndsAtTheFirstLaterFrameWhoseTimeHasCome) {
  struct Case {
    uint32_t ms;
    std::vector<int64_t> frames;
  };
  const Case cases[] = {
      {0, {1, 2, 3, 4}},      // every frame
      {16, {1, 2, 3, 4}},     // 16 ms fits in one 16.67 ms frame
      {17, {1, 3, 5, 7}},     // just over a frame: every second frame
      {100, {1, 7, 13, 19}},  // 6 frames = exactly 100 ms
      {1000, {1, 61, 121}},   // 60 frames
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("wait " + std::to_string(c.ms) + " ms");
    Host local;  // fresh clock for each case
    gRunFrames.clear();
    gWaitMs = c.ms;
    scriptRegister(&gModule, RecordingMain);
    const int64_t last = c.frames.back();
    for (int64_t i = 0; i < last; ++i) local.RunFrame();
    EXPECT_EQ(gRunFrames, c.frames);
    EXPECT_TRUE(local.errors().empty());
    scriptUnregister(&gModule);
  }
}

TEST_F(ScriptHookTest, AnUnregisteredMainIsNeverResumedAndItsStackIsNotUnwound) {
  scriptRegister(&gModule, MainWithLocal);
  Run(3);
  EXPECT_EQ(gRunFrames, (std::vector<int64_t>{1, 2, 3}));
  scriptUnregister(&gModule);
  EXPECT_EQ(host.scheduler().ScriptCount(), 0u);
  Run(3);
  EXPECT_EQ(gRunFrames.size(), 3u);
  EXPECT_FALSE(gLocalDestroyed);
  EXPECT_TRUE(host.errors().empty());
}

TEST_F(ScriptHookTest, MainsRunInRegistrationOrderAndUnregisterByModule) {
  scriptRegister(&gModule, MainA);
  scriptRegister(&gOtherModule, MainB);
  Run(2);
  EXPECT_EQ(std::string(gOrder.begin(), gOrder.end()), "abab");
  scriptUnregister(&gModule);
  Run(1);
  EXPECT_EQ(std::string(gOrder.begin(), gOrder.end()), "ababb");
  scriptUnregister(&gOtherModule);
}

TEST_F(ScriptHookTest, MisuseIsAnErrorNotACrash) {
  scriptWait(10);              // on the test's own stack
  scriptUnregister(&gModule);  // nothing registered
  scriptRegister(&gModule, nullptr);
  nativePush64(1);  // no nativeInit
  ASSERT_EQ(host.errors().size(), 4u);
  EXPECT_NE(host.errors()[0].find("scriptWait(10) called outside a script main"),
            std::string::npos);
  EXPECT_NE(host.errors()[1].find("scriptUnregister"), std::string::npos);
  EXPECT_NE(host.errors()[2].find("null script main"), std::string::npos);
  EXPECT_NE(host.errors()[3].find("nativePush64 without nativeInit"), std::string::npos);
}

TEST(ScriptHookWithoutHostTest, CallsAnswerZerosAndDoNothing) {
  ASSERT_EQ(Host::Active(), nullptr);
  scriptRegister(&gModule, RecordingMain);
  nativeInit(op_hash::kHashKey);
  nativePush64(0);
  const uint64_t* result = nativeCall();
  EXPECT_EQ(result[0], 0u);
  EXPECT_EQ(result[1], 0u);
  EXPECT_EQ(result[2], 0u);
}

}  // namespace
}  // namespace platform
