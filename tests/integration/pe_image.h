// Reads what a 64-bit Windows DLL (PE32+) exports and imports, its
// DllCharacteristics and its version resource, for checks of what a built
// library offers the loader.
#ifndef HOMESTEAD_TESTS_INTEGRATION_PE_IMAGE_H
#define HOMESTEAD_TESTS_INTEGRATION_PE_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

namespace pe {

struct ImportedModule {
  std::string name;                // as the import table spells it, e.g. "KERNEL32.dll"
  std::vector<std::string> names;  // functions imported by name
  int byOrdinal = 0;               // functions imported by ordinal only
};

struct Image {
  std::vector<std::string> exports;  // named exports
  std::vector<ImportedModule> imports;
  uint16_t dllCharacteristics = 0;  // IMAGE_DLLCHARACTERISTICS_*
  std::string versionResource;      // the raw VS_VERSIONINFO block; empty when there is none
  std::string error;                // empty when the file was read
};

Image ReadImage(const std::string& path);

}  // namespace pe

#endif  // HOMESTEAD_TESTS_INTEGRATION_PE_IMAGE_H
