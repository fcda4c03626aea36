// Tests of the library entry function and the script main loop.
#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/operations.h"
#include "registry/catalogue_data.h"
#include "registry/registry.h"
#include "support/fake_hook.h"

namespace homestead {
namespace {

namespace op_hash = ::platform::op_hash;

using fake::Event;
using fake::FakeHook;

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeHook::Get().Reset();
    Registry() = HomesteadRegistry();
  }
  void TearDown() override {
    FakeHook::Get().Reset();
    Registry() = HomesteadRegistry();
  }
};

TEST_F(EntryTest, EachReasonMakesOnlyItsOwnScriptHookCallAndReturnsOne) {
  void* const module = reinterpret_cast<void*>(uintptr_t{0x5EED0000});
  int reserved = 0;
  struct Row {
    uint32_t reason;
    std::vector<Event::Kind> expected;
  };
  const Row rows[] = {
      {1, {Event::Kind::kRegister}},
      {0, {Event::Kind::kUnregister}},
      {2, {}},
      {3, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "reason " << row.reason);
    FakeHook::Get().Reset();
    EXPECT_EQ(LibraryEntry(module, row.reason, &reserved), 1);

    const std::vector<Event>& events = FakeHook::Get().events;
    ASSERT_EQ(events.size(), row.expected.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].kind, row.expected[i]);
      EXPECT_EQ(events[i].module, module);
      if (events[i].kind == Event::Kind::kRegister) {
        EXPECT_EQ(events[i].scriptMain, &ScriptMain);
      }
    }
  }
}

// Thrown from a wait to leave the endless main loop.
struct StopScript {};

// With the activity suppressed every tick is a single query, which makes the
// loop's shape visible: catalogue blips first, then tick and wait(0) in turn.
TEST_F(EntryTest, ScriptMainBuildsTheCatalogueOnceThenTicksAndYieldsEachFrame) {
  FakeHook& hook = FakeHook::Get();
  hook.responder = [](uint64_t hash, const std::vector<uint64_t>&) {
    return fake::Answer(hash == op_hash::kIsActivitySuppressed ? 1 : 0);
  };
  hook.onWait = [&hook](uint32_t) {
    if (hook.waitCount == 3) throw StopScript{};
  };

  EXPECT_THROW(ScriptMain(), StopScript);

  EXPECT_EQ(Registry().size(), std::size(kCatalogue));
  const std::vector<Event>& events = hook.events;
  std::size_t firstTick = 0;
  while (firstTick < events.size() && events[firstTick].hash != op_hash::kIsActivitySuppressed) {
    ++firstTick;
  }
  std::size_t blips = 0;
  for (std::size_t i = 0; i < firstTick; ++i) {
    EXPECT_EQ(events[i].kind, Event::Kind::kCall);
    if (events[i].hash == op_hash::kAddBlipForCoords) ++blips;
  }
  EXPECT_EQ(blips, std::size(kCatalogue));
  ASSERT_GT(firstTick, 0u);
  EXPECT_EQ(events[firstTick - 1].hash, op_hash::kAddBlipModifier);

  // Tick, wait(0), three times, and nothing of the catalogue again.
  ASSERT_EQ(events.size(), firstTick + 6);
  for (std::size_t i = firstTick; i < events.size(); i += 2) {
    EXPECT_EQ(events[i].kind, Event::Kind::kCall);
    EXPECT_EQ(events[i].hash, op_hash::kIsActivitySuppressed);
    EXPECT_EQ(events[i + 1].kind, Event::Kind::kWait);
    EXPECT_EQ(events[i + 1].ms, 0u);
  }
}

}  // namespace
}  // namespace homestead
