#include "sim/report/replay_page.h"

#include <array>

#include "encounter/distances.h"
#include "platform/format.h"
#include "sim/report/map/svg_writer.h"
#include "sim/report/map_model.h"
#include "sim/report/replay_assets.h"

namespace sim {
namespace {

struct Ring {
  float metres;
  const char* around;  // "centre" or "loot"
  const char* meaning;
};
constexpr std::array<Ring, 6> kRings = {{
    {homestead::kTeardownDistance, "centre", "teardown beyond"},
    {homestead::kStageRadius, "centre", "occupants and money appear"},
    {homestead::kApproachRadius, "centre", "approach talk"},
    {homestead::kConfrontationRadius, "centre", "confrontation"},
    {homestead::kHomeBlipRadius, "centre", "home blip goes"},
    {homestead::kLootBlipRadius, "loot", "money blip goes"},
}};

int64_t Ms(int64_t us) {
  return us / 1000;
}

// Metres to the centimetre, without a negative zero.
std::string Metres(double value) {
  std::string text = platform::Fixed(value, 2);
  if (text == "-0.00") text = "0.00";
  return text;
}

class Json {
 public:
  void Raw(std::string_view text) { out_ += text; }
  void Int(int64_t value) { out_ += std::to_string(value); }
  void Time(int64_t us) { Int(Ms(us)); }
  void Until(const std::optional<int64_t>& us) {
    if (us) {
      Time(*us);
    } else {
      out_ += "null";
    }
  }
  // A string with every character that could end a <script> element or
  // break a JSON string escaped.
  void String(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out_ += '"';
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
        out_ += "\\u00";
        out_ += kHex[byte >> 4];
        out_ += kHex[byte & 0xF];
      } else {
        out_ += c;
      }
    }
    out_ += '"';
  }
  void Point(double x, double y) { out_ += "[" + Metres(x) + "," + Metres(y) + "]"; }
  void Keys(const std::vector<ReplayKey>& keys) {
    out_ += '[';
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (i > 0) out_ += ',';
      out_ += '[';
      Time(keys[i].us);
      out_ += "," + Metres(keys[i].x) + "," + Metres(keys[i].y) + "]";
    }
    out_ += ']';
  }
  void Spans(const std::vector<ReplaySpan>& spans) {
    out_ += '[';
    for (std::size_t i = 0; i < spans.size(); ++i) {
      if (i > 0) out_ += ',';
      out_ += '[';
      Time(spans[i].fromUs);
      out_ += ',';
      Until(spans[i].toUs);
      out_ += ',';
      String(spans[i].text);
      out_ += ']';
    }
    out_ += ']';
  }
  // Opens a member of an object: ",\"name\":" after the first.
  void Key(std::string_view name) {
    if (out_.back() != '{' && out_.back() != '[') out_ += ',';
    String(name);
    out_ += ':';
  }
  std::string Take() { return std::move(out_); }
  char Last() const { return out_.back(); }

 private:
  std::string out_;
};

void Things(Json& json, const std::vector<ReplayThing>& things, bool blips) {
  json.Raw("[");
  for (const ReplayThing& thing : things) {
    json.Raw(json.Last() == '[' ? "{" : ",{");
    json.Key("from");
    json.Time(thing.fromUs);
    json.Key("to");
    json.Until(thing.toUs);
    json.Key("at");
    json.Point(thing.x, thing.y);
    if (blips) {
      json.Key("kind");
      json.String(thing.kind);
      json.Key("label");
      json.String(thing.label);
      if (thing.index) {
        json.Key("occupant");
        json.Int(*thing.index);
        json.Key("set");
        json.Int(thing.set);
      }
    }
    json.Raw("}");
  }
  json.Raw("]");
}

}  // namespace

void KeyTrack::Add(int64_t us, double x, double y) {
  const ReplayKey sample{us, x, y};
  if (keys_.empty()) {
    keys_.push_back(sample);
    return;
  }
  const ReplayKey& key = keys_.back();
  if (pending_) {
    const double dt = static_cast<double>(us - key.us);
    const double dx = key.x + vx_ * dt - x;
    const double dy = key.y + vy_ * dt - y;
    // Squared, without libm, so that every system keeps the same keys.
    if (dx * dx + dy * dy <= kTolerance * kTolerance) {
      pending_ = sample;
      return;
    }
    // The motion changed after the last sample: that one becomes a key.
    keys_.push_back(*pending_);
  }
  const ReplayKey& from = keys_.back();
  const double dt = static_cast<double>(us - from.us);
  vx_ = dt > 0 ? (x - from.x) / dt : 0;
  vy_ = dt > 0 ? (y - from.y) / dt : 0;
  pending_ = sample;
}

std::vector<ReplayKey> KeyTrack::Keys() const {
  std::vector<ReplayKey> keys = keys_;
  if (pending_) keys.push_back(*pending_);
  return keys;
}

std::string ReplayJson(const ReplayData& data) {
  Json json;
  json.Raw("{");
  json.Key("format");
  json.Int(1);
  json.Key("title");
  json.String(data.title);
  json.Key("subtitle");
  json.String(data.subtitle);
  json.Key("passed");
  json.Raw(data.passed ? "true" : "false");
  json.Key("failure");
  json.String(data.failure);
  json.Key("fps");
  json.Int(data.framesPerSecond);
  json.Key("endMs");
  json.Time(data.endUs);
  json.Key("centre");
  json.Point(data.centre.x, data.centre.y);
  json.Key("lootSpot");
  json.Point(data.lootSpot.x, data.lootSpot.y);
  // The same windows on the world as the map's two panels.
  json.Key("overviewRadius");
  json.Raw(platform::Fixed(kOverviewRadiusM, 1));
  json.Key("yardRadius");
  json.Raw(platform::Fixed(kYardRadiusM, 1));
  json.Key("rings");
  json.Raw("[");
  for (const Ring& ring : kRings) {
    json.Raw(json.Last() == '[' ? "{" : ",{");
    json.Key("metres");
    json.Raw(platform::Fixed(ring.metres, 1));
    json.Key("around");
    json.String(ring.around);
    json.Key("meaning");
    json.String(ring.meaning);
    json.Raw("}");
  }
  json.Raw("]");
  json.Key("clock");
  json.Raw("[");
  for (const auto& [us, minute] : data.clock) {
    if (json.Last() != '[') json.Raw(",");
    json.Raw("[");
    json.Time(us);
    json.Raw("," + std::to_string(minute) + "]");
  }
  json.Raw("]");
  json.Key("milestones");
  json.Raw("[");
  for (const MilestoneRecord& record : data.milestones) {
    if (json.Last() != '[') json.Raw(",");
    json.Raw("[");
    json.Time(record.timeUs);
    json.Raw(",");
    json.String(MilestoneName(record.milestone));
    json.Raw("," + std::to_string(record.homestead) + "]");
  }
  json.Raw("]");
  json.Key("timeline");
  json.Raw("[");
  for (const std::string& line : data.timeline) {
    if (json.Last() != '[') json.Raw(",");
    json.String(line);
  }
  json.Raw("]");
  json.Key("player");
  json.Keys(data.player);
  json.Key("occupants");
  json.Raw("[");
  for (const ReplayOccupant& occupant : data.occupants) {
    json.Raw(json.Last() == '[' ? "{" : ",{");
    json.Key("k");
    json.Int(occupant.index);
    json.Key("set");
    json.Int(occupant.set);
    json.Key("track");
    json.Keys(occupant.track);
    json.Key("states");
    json.Raw("[");
    for (const auto& [us, state] : occupant.states) {
      if (json.Last() != '[') json.Raw(",");
      json.Raw("[");
      json.Time(us);
      json.Raw(",");
      json.String(state);
      json.Raw("]");
    }
    json.Raw("]}");
  }
  json.Raw("]");
  json.Key("money");
  Things(json, data.money, false);
  json.Key("blips");
  Things(json, data.blips, true);
  json.Key("speech");
  json.Spans(data.speech);
  json.Key("objectives");
  json.Spans(data.objectives);
  json.Raw("}");
  return json.Take();
}

std::string RenderReplayPage(const ReplayData& data) {
  // The template's placeholders in the order they appear in it; what fills
  // one is never searched for the next.
  const std::array<std::pair<std::string_view, std::string>, 4> fills = {{
      {"{{title}}", map_render::Escape(data.title)},
      {"{{style}}", std::string(kReplayStyle)},
      {"{{data}}", ReplayJson(data)},
      {"{{script}}", std::string(kReplayScript)},
  }};
  std::string page;
  std::string_view rest = kReplayTemplate;
  for (const auto& [placeholder, text] : fills) {
    const std::size_t at = rest.find(placeholder);
    page += rest.substr(0, at);
    page += text;
    rest = rest.substr(at + placeholder.size());
  }
  page += rest;
  return page;
}

}  // namespace sim
