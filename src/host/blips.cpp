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

void StyleMarkerBlip(Blip blip, const MarkerLook& look, const char* label) {
  SetBlipSprite(blip, HashKey(look.sprite));
  SetBlipScale(blip, look.scale);
  SetBlipLabel(blip, label);
  AddBlipModifier(blip, HashKey(look.modifier));
}

}  // namespace homestead::host
