#include "elf_symbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>

namespace elf {
namespace {

template <typename T>
bool ReadAt(const std::vector<char>& file, uint64_t offset, T* out) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
  std::memcpy(out, file.data() + offset, sizeof(T));
  return true;
}

// Reads the whole file and its ELF header; returns an error or "".
std::string Load(const std::string& path, std::vector<char>* file, Elf64_Ehdr* header) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return "cannot open " + path;
  file->resize(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  if (!in.read(file->data(), static_cast<std::streamsize>(file->size()))) {
    return "cannot read " + path;
  }
  if (!ReadAt(*file, 0, header) || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
      header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_ident[EI_DATA] != ELFDATA2LSB) {
    return path + " is not a 64-bit little-endian ELF file";
  }
  return "";
}

std::string StringAt(const std::vector<char>& file, uint64_t offset) {
  if (offset >= file.size()) return "";
  return std::string(file.data() + offset, strnlen(file.data() + offset, file.size() - offset));
}

}  // namespace

Hardening ReadHardening(const std::string& path) {
  Hardening out;
  std::vector<char> file;
  Elf64_Ehdr header;
  out.error = Load(path, &file, &header);
  if (!out.error.empty()) return out;
  for (uint16_t i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    if (!ReadAt(file, header.e_phoff + uint64_t{i} * header.e_phentsize, &segment)) break;
    if (segment.p_type == PT_GNU_STACK) {
      out.stackSegment = true;
      out.executableStack = (segment.p_flags & PF_X) != 0;
    }
    out.relro = out.relro || segment.p_type == PT_GNU_RELRO;
    out.interpreter = out.interpreter || segment.p_type == PT_INTERP;
  }
  for (uint16_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section;
    if (!ReadAt(file, header.e_shoff + uint64_t{i} * header.e_shentsize, &section)) break;
    if (section.sh_type != SHT_DYNAMIC) continue;
    Elf64_Shdr strings;
    if (!ReadAt(file, header.e_shoff + uint64_t{section.sh_link} * header.e_shentsize, &strings)) {
      break;
    }
    for (uint64_t at = section.sh_offset;
         at + sizeof(Elf64_Dyn) <= section.sh_offset + section.sh_size; at += sizeof(Elf64_Dyn)) {
      Elf64_Dyn entry;
      if (!ReadAt(file, at, &entry) || entry.d_tag == DT_NULL) break;
      if (entry.d_tag == DT_BIND_NOW) out.bindNow = true;
      if (entry.d_tag == DT_FLAGS && (entry.d_un.d_val & DF_BIND_NOW) != 0) out.bindNow = true;
      if (entry.d_tag == DT_FLAGS_1) {
        out.bindNow = out.bindNow || (entry.d_un.d_val & DF_1_NOW) != 0;
        out.pie = (entry.d_un.d_val & DF_1_PIE) != 0;
      }
      if (entry.d_tag == DT_RUNPATH || entry.d_tag == DT_RPATH) {
        out.runPaths.push_back(StringAt(file, strings.sh_offset + entry.d_un.d_val));
      }
    }
  }
  return out;
}

SymbolTable ReadDynamicSymbols(const std::string& path) {
  SymbolTable table;
  std::vector<char> file;
  Elf64_Ehdr header;
  table.error = Load(path, &file, &header);
  if (!table.error.empty()) return table;
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
      out.name = StringAt(file, nameAt);
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
