// Reads the dynamic symbol table of a 64-bit little-endian ELF shared
// library, for checks of what a built library exports and imports.
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

}  // namespace elf

#endif  // HOMESTEAD_TESTS_INTEGRATION_ELF_SYMBOLS_H
