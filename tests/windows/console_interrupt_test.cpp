// A run interrupted by Ctrl-C on its console removes its temporary file,
// says so on standard error, leaves the destination as it was and ends with
// 130, as on Linux; so does a sweep, which prints the summary of the seeds
// it played first. The run gets a console of its own; the test attaches to
// that console to raise the event there. (Wine raises no Ctrl-Break this way,
// nor a console's closing, so only Ctrl-C is played.)
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<fs::path> Temporaries(const fs::path& dir) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().wstring().find(L".tmp.") != std::wstring::npos) {
      found.push_back(entry.path().filename());
    }
  }
  return found;
}

// The test itself shares the console while it raises the event there.
BOOL WINAPI IgnoreEvent(DWORD) {
  return TRUE;
}

HANDLE OpenInherited(const fs::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(ConsoleInterruptTest, CtrlCRemovesTheTemporaryFileAndEndsWith130) {
  struct Case {
    const wchar_t* args;
    const char* output;  // the file its temporary file is for
    const char* says;    // the end of standard error
    const char* prints;  // part of standard output
  };
  const Case cases[] = {
      {L"--realtime --file long.scn --trace t.jsonl", "t.jsonl",
       "homestead-sim: interrupted (Ctrl-C)\n", ""},
      {L"--file long.scn --seeds 1-100000 -j 2 --sweep-report t.jsonl", "t.jsonl",
       "seeds/s\nhomestead-sim: interrupted (Ctrl-C)\n", "(interrupted: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(fs::path(c.args).string());
    const fs::path dir = fs::temp_directory_path() / "console_interrupt_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    Write(dir / "long.scn", "wait 1min\n");
    Write(dir / c.output, "old trace");
    const HANDLE out = OpenInherited(dir / "out.txt");
    const HANDLE err = OpenInherited(dir / "err.txt");
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    ASSERT_NE(err, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"\"" + fs::path(HOMESTEAD_SIM_PATH).wstring() + L"\" --plugin \"" +
                           fs::path(HOMESTEAD_PLUGIN_PATH).wstring() + L"\" " + c.args;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                               nullptr, dir.c_str(), &startup, &child))
        << GetLastError();
    CloseHandle(out);
    CloseHandle(err);
    // Interrupted once the trace's temporary file is there, while the
    // minute plays.
    for (int tries = 0; tries < 500 && Temporaries(dir).empty(); ++tries) Sleep(20);
    EXPECT_EQ(Temporaries(dir).size(), 1u);
    FreeConsole();
    const bool attached = AttachConsole(child.dwProcessId) != 0;
    EXPECT_TRUE(attached) << GetLastError();
    SetConsoleCtrlHandler(IgnoreEvent, TRUE);
    EXPECT_TRUE(attached && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    const bool ended = WaitForSingleObject(child.hProcess, 20000) == WAIT_OBJECT_0;
    FreeConsole();
    SetConsoleCtrlHandler(IgnoreEvent, FALSE);
    if (!ended) TerminateProcess(child.hProcess, 99);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    EXPECT_TRUE(ended) << "the run was not interrupted";
    EXPECT_EQ(status, 130u);
    EXPECT_TRUE(Read(dir / "err.txt").ends_with(c.says)) << Read(dir / "err.txt");
    EXPECT_NE(Read(dir / "out.txt").find(c.prints), std::string::npos) << Read(dir / "out.txt");
    EXPECT_EQ(Temporaries(dir), std::vector<fs::path>{});
    EXPECT_EQ(Read(dir / c.output), "old trace");
    fs::remove_all(dir);
  }
}

}  // namespace
