// The binary contract of the built plug-in: what it exports and what it
// imports, read from the file itself (ELF on Linux, PE on Windows); and the
// hardening every built library and program carries.
#include <gtest/gtest.h>

#include <set>
#include <string>

#if defined(_WIN32)
#include <algorithm>
#include <cctype>

#include "pe_image.h"
#else
#include <elf.h>

#include "elf_symbols.h"
#endif

namespace {

constexpr const char* kPlugin = HOMESTEAD_PLUGIN_PATH;
// What a release ships: the plug-in, the platform library and the programs.
constexpr const char* kArtefacts[] = {HOMESTEAD_PLUGIN_PATH, HOMESTEAD_HOST_LIBRARY_PATH,
                                      HOMESTEAD_SIM_PATH, HOMESTEAD_DEMO_PATH};
const std::set<std::string> kHookFunctions = {"scriptRegister", "scriptUnregister", "scriptWait",
                                              "nativeInit",     "nativePush64",     "nativeCall"};

#if defined(_WIN32)

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// What Windows itself provides: a player copies nothing but the plug-in.
// (advapi32.dll gives the stack protector's random guard value.)
bool IsSystemModule(const std::string& name) {
  const std::string lower = Lower(name);
  return lower == "kernel32.dll" || lower == "msvcrt.dll" || lower == "advapi32.dll" ||
         lower.starts_with("api-ms-win-crt-");
}

std::string Utf16(const std::string& ascii) {
  std::string wide;
  for (char c : ascii) wide += {c, '\0'};
  return wide;
}

TEST(PluginBinaryTest, ExportsOnlyTheEntryAndImportsTheSixHookFunctionsFromScriptHook) {
  const pe::Image image = pe::ReadImage(kPlugin);
  ASSERT_TRUE(image.error.empty()) << image.error;
  EXPECT_EQ(std::set<std::string>(image.exports.begin(), image.exports.end()),
            std::set<std::string>{"LibraryEntry"});
  EXPECT_EQ(image.exports.size(), 1u);

  bool hookSeen = false;
  for (const pe::ImportedModule& module : image.imports) {
    SCOPED_TRACE(module.name);
    EXPECT_EQ(module.byOrdinal, 0);
    if (module.name == "script_hook.dll") {
      hookSeen = true;
      EXPECT_EQ(std::set<std::string>(module.names.begin(), module.names.end()), kHookFunctions);
    } else {
      EXPECT_TRUE(IsSystemModule(module.name)) << "imports from a DLL a player would lack";
    }
  }
  EXPECT_TRUE(hookSeen) << "the six script-hook functions must come from script_hook.dll";
}

TEST(PluginBinaryTest, CarriesItsVersionInAVersionResource) {
  const pe::Image image = pe::ReadImage(kPlugin);
  ASSERT_TRUE(image.error.empty()) << image.error;
  ASSERT_FALSE(image.versionResource.empty()) << "no version resource";
  for (const char* key : {"FileVersion", "ProductVersion"}) {
    SCOPED_TRACE(key);
    EXPECT_NE(image.versionResource.find(Utf16(key)), std::string::npos);
  }
  EXPECT_NE(image.versionResource.find(Utf16(HOMESTEAD_VERSION)), std::string::npos);
  EXPECT_NE(image.versionResource.find(Utf16("homestead_robbery.dll")), std::string::npos);
}

// Address-space randomisation (64-bit), and data execution prevention.
TEST(HardeningTest, EveryArtefactAsksForRandomisedAddressesAndNoExecutableData) {
  constexpr uint16_t kHighEntropyVa = 0x0020, kDynamicBase = 0x0040, kNxCompat = 0x0100;
  for (const char* path : kArtefacts) {
    SCOPED_TRACE(path);
    const pe::Image image = pe::ReadImage(path);
    ASSERT_TRUE(image.error.empty()) << image.error;
    EXPECT_EQ(image.dllCharacteristics & kDynamicBase, kDynamicBase) << "no --dynamicbase";
    EXPECT_EQ(image.dllCharacteristics & kHighEntropyVa, kHighEntropyVa) << "no --high-entropy-va";
    EXPECT_EQ(image.dllCharacteristics & kNxCompat, kNxCompat) << "no --nxcompat";
  }
}

#else

TEST(HardeningTest, EveryArtefactIsHardened) {
  for (const char* path : kArtefacts) {
    SCOPED_TRACE(path);
    const elf::Hardening h = elf::ReadHardening(path);
    ASSERT_TRUE(h.error.empty()) << h.error;
    EXPECT_TRUE(h.stackSegment && !h.executableStack) << "executable stack";
    EXPECT_TRUE(h.relro) << "no PT_GNU_RELRO (-z relro)";
    EXPECT_TRUE(h.bindNow) << "not bound at load (-z now)";
    EXPECT_EQ(h.pie, h.interpreter) << "a program that is not position-independent";

    const elf::SymbolTable table = elf::ReadDynamicSymbols(path);
    ASSERT_TRUE(table.error.empty()) << table.error;
    bool protector = false, fortified = false;
    for (const elf::DynamicSymbol& s : table.symbols) {
      if (s.defined) continue;
      protector = protector || s.name == "__stack_chk_fail";
      fortified = fortified || (s.name.starts_with("__") && s.name.ends_with("_chk") &&
                                s.name != "__stack_chk_fail");
    }
    EXPECT_TRUE(protector) << "no -fstack-protector-strong";
    // Fortified calls exist only where optimised (the dev build is not),
    // and only where a fortifiable call has a known buffer size.
    if (HOMESTEAD_OPTIMISED && path != std::string(kPlugin)) {
      EXPECT_TRUE(fortified) << "no *_chk import: no _FORTIFY_SOURCE";
    }
  }
}

TEST(PluginBinaryTest, ExportsOnlyTheEntryAndImportsTheSixHookFunctions) {
  const elf::SymbolTable table = elf::ReadDynamicSymbols(kPlugin);
  ASSERT_TRUE(table.error.empty()) << table.error;

  std::set<std::string> exported, imported;
  for (const elf::DynamicSymbol& s : table.symbols) {
    EXPECT_NE(s.binding, STB_GNU_UNIQUE)
        << s.name << " is a unique symbol: it would pin the library";
    if (s.binding == STB_LOCAL) continue;
    if (s.defined && s.visibility == STV_DEFAULT) exported.insert(s.name);
    if (!s.defined) imported.insert(s.name);
  }
  EXPECT_EQ(exported, std::set<std::string>{"LibraryEntry"});
  for (const std::string& name : kHookFunctions) EXPECT_EQ(imported.count(name), 1u) << name;
}

#endif

}  // namespace
