// The host survives tiny plug-ins with one fault each (bad_plugins/) and
// says what happened. The one that never yields ends the program, so it is
// run through the programs only (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "platform/loader.h"
#include "platform/session.h"

namespace platform {
namespace {

std::string BadPlugin(const std::string& name) {
  return std::string(HOMESTEAD_BAD_PLUGIN_DIR) + "/bad_" + name + HOMESTEAD_LIBRARY_SUFFIX;
}

TEST(BadPluginTest, EachFaultIsOneErrorAndThePluginStillUnloads) {
  struct Case {
    const char* name;
    const char* error;  // what the one host error says
  };
  const Case cases[] = {
      {"throws_in_main", "ended by an exception (bad plug-in: thrown in the script main)"},
      {"registers_twice", "scriptRegister called again by plug-in '"},
      {"main_returns", "returned; a script main must wait in a loop and never return"},
      {"unknown_hash", "unknown operation 0x0123456789ABCDEF called with 1 arguments"},
      {"too_many_pushes", "GetClockHours (0xC82CF208C2B19199): more than 32 arguments pushed"},
      {"call_without_init", "nativeCall without nativeInit"},
      {"call_from_entry", "nativeInit(0xC82CF208C2B19199) during the plug-in's "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = BadPlugin(c.name);
    auto opened = Session::Open(path);
    ASSERT_NE(opened.session, nullptr) << opened.error;
    Session& session = *opened.session;
    int clockCalls = 0;
    session.host().SetObserver([&clockCalls](const CallRecord& call) {
      clockCalls += call.op != nullptr && call.op->id == OpId::kGetClockHours && !call.refused;
    });
    session.RunFrames(10);
    EXPECT_EQ(session.Close(), "");
    EXPECT_FALSE(IsLibraryResident(path));
    EXPECT_EQ(session.host().scheduler().ScriptCount(), 0u);
    ASSERT_EQ(session.host().errorCount(), 1u);
    EXPECT_NE(session.host().errors()[0].find(c.error), std::string::npos)
        << session.host().errors()[0];
    // Only the first main of the one that registers twice asks the clock,
    // once in each frame.
    EXPECT_EQ(clockCalls, std::string(c.name) == "registers_twice" ? 10 : 0);
  }
}

// On Linux the loader's call of the entry catches the exception; on Windows
// the system loader calls DllMain, and Wine's fails the load
// (platform/loader.h). Either way nothing stays loaded.
TEST(BadPluginTest, AnExceptionOutOfTheAttachIsALoadFailureWithTheLibraryUnloaded) {
  const std::string path = BadPlugin("throws_in_entry");
  auto opened = Session::Open(path);
  EXPECT_EQ(opened.session, nullptr);
#if defined(_WIN32)
  EXPECT_EQ(opened.error, "cannot load plug-in '" + path +
                              "': LibraryEntry threw an exception during the attach (out of "
                              "DllMain)");
#else
  EXPECT_EQ(opened.error, "plug-in '" + path +
                              "' failed to attach: LibraryEntry threw an exception during the "
                              "attach (bad plug-in: thrown in LibraryEntry)");
#endif
  EXPECT_FALSE(IsLibraryResident(path));
  EXPECT_EQ(Host::Active(), nullptr);
}

}  // namespace
}  // namespace platform
