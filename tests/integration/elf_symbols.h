// Reads the dynamic symbol table of a 64-bit little-endian ELF shared
// library or program, for checks of what it exports and imports, and the
// program headers and dynamic entries that show how it was hardened.
#ifndef HOMESTEAD_TESTS_INTEGRATION_ELF_SYMBOLS_H
#define HOMESTEAD_TESTS_INTEGRATION_ELF_SYMBOLS_H

#include <cstdint>
#include <string>
#include <vector>

namespace elf {

struct DynamicSymbol {
  std::string name;
  uint8_t binding = 0;     // STB_*
  uint8_t type = 0;        // STT_*
  uint8_t visibility = 0;  // STV_*
  bool defined = false;    // section index is not SHN_UNDEF
};

struct SymbolTable {
  std::vector<DynamicSymbol> symbols;  // the null entry left out
  std::string error;                   // empty when the file was read
};

SymbolTable ReadDynamicSymbols(const std::string& path);

struct Hardening {
  bool stackSegment = false;          // a PT_GNU_STACK header, which says whether...
  bool executableStack = false;       // ...the stack is executable (PF_X)
  bool relro = false;                 // PT_GNU_RELRO: relocations made read-only after load
  bool bindNow = false;               // DT_BIND_NOW, DF_BIND_NOW or DF_1_NOW: all bound at load
  bool pie = false;                   // DF_1_PIE: a position-independent program
  bool interpreter = false;           // PT_INTERP: a program, not a library
  std::vector<std::string> runPaths;  // DT_RUNPATH and DT_RPATH strings
  std::string error;                  // empty when the file was read
};

Hardening ReadHardening(const std::string& path);

}  // namespace elf

#endif  // HOMESTEAD_TESTS_INTEGRATION_ELF_SYMBOLS_H
