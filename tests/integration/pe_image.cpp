#include "pe_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace pe {
namespace {

constexpr int kExportDirectory = 0;
constexpr int kImportDirectory = 1;
constexpr int kResourceDirectory = 2;
constexpr uint32_t kVersionResourceType = 16;  // RT_VERSION

class File {
 public:
  explicit File(std::vector<char> bytes) : bytes_(std::move(bytes)) {}

  template <typename T>
  bool Read(uint64_t offset, T* out) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return false;
    std::memcpy(out, bytes_.data() + offset, sizeof(T));
    return true;
  }

  std::string CString(uint64_t offset) const {
    if (offset >= bytes_.size()) return "";
    return std::string(bytes_.data() + offset,
                       strnlen(bytes_.data() + offset, bytes_.size() - offset));
  }

  std::string Bytes(uint64_t offset, uint64_t count) const {
    if (offset > bytes_.size() || bytes_.size() - offset < count) return "";
    return std::string(bytes_.data() + offset, count);
  }

  // Section table, for turning relative virtual addresses into file offsets.
  struct Section {
    uint32_t address, size, rawSize, rawOffset;
  };
  std::vector<Section> sections;

  // The file offset of `rva`, or 0 when no section holds it.
  uint64_t Offset(uint32_t rva) const {
    for (const Section& s : sections) {
      const uint32_t extent = s.size > s.rawSize ? s.size : s.rawSize;
      if (rva >= s.address && rva - s.address < extent)
        return uint64_t{s.rawOffset} + (rva - s.address);
    }
    return 0;
  }

 private:
  std::vector<char> bytes_;
};

void ReadExports(const File& file, uint32_t rva, Image& image) {
  const uint64_t at = file.Offset(rva);
  uint32_t count = 0, names = 0;
  if (at == 0 || !file.Read(at + 24, &count) || !file.Read(at + 32, &names)) return;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t name = 0;
    if (!file.Read(file.Offset(names) + 4ull * i, &name)) break;
    image.exports.push_back(file.CString(file.Offset(name)));
  }
}

void ReadImports(const File& file, uint32_t rva, Image& image) {
  for (uint64_t at = file.Offset(rva); at != 0; at += 20) {
    uint32_t lookup = 0, name = 0, thunks = 0;
    if (!file.Read(at, &lookup) || !file.Read(at + 12, &name) || !file.Read(at + 16, &thunks)) {
      break;
    }
    if (name == 0) break;  // the table ends with an empty descriptor
    ImportedModule module{file.CString(file.Offset(name)), {}, 0};
    for (uint64_t entry = file.Offset(lookup != 0 ? lookup : thunks); entry != 0; entry += 8) {
      uint64_t thunk = 0;
      if (!file.Read(entry, &thunk) || thunk == 0) break;
      if (thunk >> 63) {
        ++module.byOrdinal;
      } else {
        module.names.push_back(file.CString(file.Offset(static_cast<uint32_t>(thunk)) + 2));
      }
    }
    image.imports.push_back(std::move(module));
  }
}

// The resource tree is type, then name, then language; the version resource
// is the first leaf under its type.
void ReadVersion(const File& file, uint32_t rva, Image& image) {
  const uint64_t root = file.Offset(rva);
  if (root == 0) return;
  uint64_t directory = root;
  for (int level = 0; level < 3; ++level) {
    uint16_t named = 0, numbered = 0;
    if (!file.Read(directory + 12, &named) || !file.Read(directory + 14, &numbered)) return;
    bool found = false;
    for (uint32_t i = 0; i < uint32_t{named} + numbered; ++i) {
      uint32_t id = 0, target = 0;
      if (!file.Read(directory + 16 + 8ull * i, &id) ||
          !file.Read(directory + 20 + 8ull * i, &target)) {
        return;
      }
      if (level == 0 && id != kVersionResourceType) continue;
      directory = root + (target & 0x7FFFFFFFu);
      found = true;
      if (level < 2 && !(target >> 31)) return;  // a leaf where a directory belongs
      break;
    }
    if (!found) return;
  }
  uint32_t dataRva = 0, size = 0;
  if (!file.Read(directory, &dataRva) || !file.Read(directory + 4, &size)) return;
  image.versionResource = file.Bytes(file.Offset(dataRva), size);
}

}  // namespace

Image ReadImage(const std::string& path) {
  Image image;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    image.error = "cannot open " + path;
    return image;
  }
  File file(
      std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  uint32_t peAt = 0, signature = 0;
  uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!file.Read(0x3C, &peAt) || !file.Read(peAt, &signature) || signature != 0x00004550 ||
      !file.Read(peAt + 6, &sectionCount) || !file.Read(peAt + 20, &optionalSize) ||
      !file.Read(peAt + 24, &magic) || magic != 0x20B) {
    image.error = path + " is not a PE32+ image";
    return image;
  }
  const uint64_t optional = peAt + 24;
  uint32_t directoryCount = 0;
  file.Read(optional + 70, &image.dllCharacteristics);
  file.Read(optional + 108, &directoryCount);
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = optional + optionalSize + 40ull * i;
    File::Section s{};
    if (!file.Read(at + 12, &s.address) || !file.Read(at + 8, &s.size) ||
        !file.Read(at + 16, &s.rawSize) || !file.Read(at + 20, &s.rawOffset)) {
      image.error = path + " has a truncated section table";
      return image;
    }
    file.sections.push_back(s);
  }
  auto directory = [&](int index) {
    uint32_t rva = 0;
    if (static_cast<uint32_t>(index) < directoryCount)
      file.Read(optional + 112 + 8ull * index, &rva);
    return rva;
  };
  if (uint32_t rva = directory(kExportDirectory)) ReadExports(file, rva, image);
  if (uint32_t rva = directory(kImportDirectory)) ReadImports(file, rva, image);
  if (uint32_t rva = directory(kResourceDirectory)) ReadVersion(file, rva, image);
  return image;
}

}  // namespace pe
