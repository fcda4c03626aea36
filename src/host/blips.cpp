#include "host/blips.h"

namespace homestead::host {
namespace {
// Text kind and format that CreateVarString takes for a literal label.
constexpr int32_t kLiteralStringKind = 10;
constexpr const char* kLiteralStringFormat = "LITERAL_STRING";
}  // namespace

void SetBlipLabel(Blip blip, const char* label) {
  SetBlipName(blip, CreateVarString(kLiteralStringKind, kLiteralStringFormat, label));
}

}  // namespace homestead::host
