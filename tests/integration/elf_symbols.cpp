#include "elf_symbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace elf {
namespace {

template <typename T>
bool ReadAt(const std::vector<char>& file, uint64_t offset, T* out) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
  std::memcpy(out, file.data() + offset, sizeof(T));
  return true;
}

}  // namespace

SymbolTable ReadDynamicSymbols(const std::string& path) {
  SymbolTable table;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    table.error = "cannot open " + path;
    return table;
  }
  const std::vector<char> file((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
  Elf64_Ehdr header;
  if (!ReadAt(file, 0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB) {
    table.error = path + " is not a 64-bit little-endian ELF file";
    return table;
  }
  for (uint16_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section;
    if (!ReadAt(file, header.e_shoff + uint64_t{i} * header.e_shentsize, &section)) break;
    if (section.sh_type != SHT_DYNSYM) continue;
    Elf64_Shdr strings;
    if (!ReadAt(file, header.e_shoff + uint64_t{section.sh_link} * header.e_shentsize, &strings)) {
      break;
    }
    const uint64_t count = section.sh_entsize == 0 ? 0 : section.sh_size / section.sh_entsize;
    for (uint64_t k = 1; k < count; ++k) {
      Elf64_Sym sym;
      if (!ReadAt(file, section.sh_offset + k * section.sh_entsize, &sym)) break;
      const uint64_t nameAt = strings.sh_offset + sym.st_name;
      if (nameAt >= file.size()) break;
      DynamicSymbol out;
      out.name =
          std::string(file.data() + nameAt, strnlen(file.data() + nameAt, file.size() - nameAt));
      out.binding = ELF64_ST_BIND(sym.st_info);
      out.type = ELF64_ST_TYPE(sym.st_info);
      out.visibility = ELF64_ST_VISIBILITY(sym.st_other);
      out.defined = sym.st_shndx != SHN_UNDEF;
      table.symbols.push_back(std::move(out));
    }
    return table;
  }
  table.error = path + " has no dynamic symbol table";
  return table;
}

}  // namespace elf
