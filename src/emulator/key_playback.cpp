#include "emulator/key_playback.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace keyloom::emulator {
namespace {

// Consumer usages of the keyboard's own codes 0xC0..0xDF.
constexpr std::uint16_t kConsumerTable[32] = {
    0x00E9, 0x00EA, 0x0183, 0x018A, 0x0192, 0x0194, 0x0221, 0x0223, 0x0224, 0x0225, 0x0226,
    0x0227, 0x022A, 0x00E2, 0x00CD, 0x00B7, 0x00B6, 0x00B5, 0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0};

using HostKey = std::pair<std::uint16_t, std::uint16_t>;  // page, usage

std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The host keys one "key" data pair stands for (a modifier byte can hold
// several bits).
std::vector<HostKey> KeyDataToHost(std::uint8_t sub, std::uint8_t arg) {
  std::vector<HostKey> keys;
  if (sub == 0x02) {
    if (auto k = DeviceCodeToHost(arg)) keys.push_back(*k);
  } else {
    for (int bit = 0; bit < 8; ++bit) {
      if (arg & (1u << bit)) keys.emplace_back(7, static_cast<std::uint16_t>(0xE0 + bit));
    }
  }
  return keys;
}

struct Timeline {
  std::vector<HostEvent> events;
  void Usage(std::uint32_t t, HostKey key, bool down) {
    HostEvent e;
    e.kind = HostEvent::Kind::kUsage;
    e.t = t;
    e.page = key.first;
    e.usage = key.second;
    e.down = down;
    events.push_back(e);
  }
};

// One macro's events, absolute times, in order.
std::vector<HostEvent> MacroEvents(const std::vector<std::uint8_t>& area, std::uint32_t index,
                                   std::uint32_t start) {
  std::vector<HostEvent> out;
  if (area.size() < 16 || Le16(area, 0) != 0x55AA) return out;
  const std::size_t limit = std::min<std::size_t>(Le16(area, 2), area.size());
  const std::size_t count = Le16(area, 4);
  if (index >= count || 16 + 2 * count > limit) return out;
  const std::size_t block = Le16(area, 16 + 2 * index);
  if (block + 4 > limit) return out;
  const std::size_t actions = Le16(area, block);
  const std::uint32_t cycles = std::max<std::uint32_t>(area[block + 2], 1);
  if (block + 4 + 4 * actions > limit) return out;

  Timeline tl;
  std::uint32_t t = start;
  for (std::uint32_t c = 0; c < cycles; ++c) {
    for (std::size_t a = 0; a < actions; ++a) {
      const std::size_t at = block + 4 + 4 * a;
      const std::uint16_t control = Le16(area, at);
      const std::uint8_t d0 = area[at + 2], d1 = area[at + 3];
      const bool down = (control & 0x8000) != 0;
      std::vector<HostKey> keys;
      switch ((control >> 12) & 7) {
        case 2: keys = KeyDataToHost(d0, d1); break;
        case 3:
          if (std::uint16_t u = static_cast<std::uint16_t>(d0 | (d1 << 8))) keys.emplace_back(12, u);
          break;
        case 4:
          if (std::uint16_t u = static_cast<std::uint16_t>(d0 | (d1 << 8))) keys.emplace_back(1, u);
          break;
        default: break;
      }
      for (const auto& k : keys) tl.Usage(t, k, down);
      t += (control & 0x0FFFu) * 10u;
    }
  }
  return tl.events;
}

// Adds the macro's events before `end` (all when end is empty), then
// releases whatever it left down at its end.
void FinishMacro(Timeline& tl, const std::vector<HostEvent>& macro, std::optional<std::uint32_t> end) {
  std::set<HostKey> held;
  std::uint32_t last = 0;
  bool cut = false;
  for (const auto& e : macro) {
    if (end && e.t >= *end) {
      cut = true;
      break;
    }
    tl.events.push_back(e);
    last = e.t;
    if (e.down) held.insert({e.page, e.usage});
    else held.erase({e.page, e.usage});
  }
  // A macro that ran to its end releases at its last action, one cut short
  // at the moment it was stopped.
  const std::uint32_t at = cut ? *end : last;
  for (const auto& k : held) tl.Usage(at, k, false);
}

}  // namespace

std::optional<std::pair<std::uint16_t, std::uint16_t>> DeviceCodeToHost(std::uint8_t code) {
  if (code == 0x00 || code == 0xFF) return std::nullopt;
  if (code >= 0x81 && code <= 0x83) return HostKey{1, code};
  if (code >= 0xC0 && code <= 0xDF) {
    const std::uint16_t u = kConsumerTable[code - 0xC0];
    if (u == 0) return std::nullopt;
    return HostKey{12, u};
  }
  return HostKey{7, code};
}

std::vector<HostEvent> PlayKeys(const Memories& memories, const ModelInfo& model,
                                std::span<const KeyStroke> strokes) {
  std::vector<KeyStroke> ordered(strokes.begin(), strokes.end());
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const KeyStroke& a, const KeyStroke& b) { return a.at < b.at; });
  Timeline tl;
  const std::size_t slot = memories.config.size() > kConfigActiveSlot ? memories.config[kConfigActiveSlot] : 0;
  const std::size_t base = (slot < kSlotCount ? slot : 0) * model.layerStride;

  std::vector<HostEvent> running;  // the playing macro's events
  bool macroPlaying = false;
  auto stopMacro = [&](std::uint32_t at) {
    if (macroPlaying) FinishMacro(tl, running, at);
    running.clear();
    macroPlaying = false;
  };

  for (const auto& s : ordered) {
    if (s.position >= model.keyCount) continue;
    const std::size_t at = base + 3 * s.position;
    if (at + 3 > memories.layers.size()) continue;
    const std::array<std::uint8_t, 3> tr{memories.layers[at], memories.layers[at + 1], memories.layers[at + 2]};
    std::vector<HostKey> keys;
    switch (tr[0]) {
      case 0x02: keys = KeyDataToHost(tr[1], tr[2]); break;
      case 0x03:
        if (std::uint16_t u = static_cast<std::uint16_t>(tr[1] | (tr[2] << 8))) keys.emplace_back(12, u);
        break;
      case 0x04:
        if (std::uint16_t u = static_cast<std::uint16_t>(tr[1] | (tr[2] << 8))) keys.emplace_back(1, u);
        break;
      case 0x05:
        if (tr[1] == 0x01) {
          stopMacro(s.at);
          running = MacroEvents(memories.macroArea, tr[2], s.at);
          macroPlaying = true;
          continue;
        }
        if (tr[1] == 0x02) {
          stopMacro(s.at);
          continue;
        }
        [[fallthrough]];
      case 0x01:
      case 0x06: {
        HostEvent e;
        e.kind = HostEvent::Kind::kFunction;
        e.t = s.at;
        e.function = tr[2];
        e.rawFunction = !(tr[0] == 0x05 && tr[1] == 0x05);
        e.triple = tr;
        tl.events.push_back(e);
        continue;
      }
      default:
        continue;
    }
    for (const auto& k : keys) tl.Usage(s.at, k, true);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) tl.Usage(s.at + s.hold, *it, false);
  }
  if (macroPlaying) FinishMacro(tl, running, std::nullopt);
  std::stable_sort(tl.events.begin(), tl.events.end(),
                   [](const HostEvent& a, const HostEvent& b) { return a.t < b.t; });
  return tl.events;
}

int FindFactoryPosition(const Memories& memories, const ModelInfo& model, std::uint16_t code) {
  for (std::size_t d = 0; d < model.keyCount && 3 * d + 2 < memories.factoryMap.size(); ++d) {
    const std::uint8_t t = memories.factoryMap[3 * d], s = memories.factoryMap[3 * d + 1],
                       a = memories.factoryMap[3 * d + 2];
    if (t != 0x02) continue;
    if (s == 0x02 && a == code && code != 0) return static_cast<int>(d);
    if (s == 0x01 && code >= 0xE0 && code <= 0xE7 && a == (1u << (code - 0xE0))) return static_cast<int>(d);
  }
  return -1;
}

std::string HostEventJson(const HostEvent& e) {
  char buf[128];
  if (e.kind == HostEvent::Kind::kUsage) {
    std::snprintf(buf, sizeof buf, "{\"t\": %u, \"page\": %u, \"usage\": %u, \"down\": %s}", e.t,
                  static_cast<unsigned>(e.page), static_cast<unsigned>(e.usage), e.down ? "true" : "false");
  } else if (!e.rawFunction) {
    std::snprintf(buf, sizeof buf, "{\"t\": %u, \"function\": %u}", e.t, static_cast<unsigned>(e.function));
  } else {
    std::snprintf(buf, sizeof buf, "{\"t\": %u, \"function\": %u, \"triple\": \"%02x%02x%02x\"}", e.t,
                  static_cast<unsigned>(e.function), e.triple[0], e.triple[1], e.triple[2]);
  }
  return buf;
}

std::string HostEventText(const HostEvent& e) {
  char buf[128];
  if (e.kind == HostEvent::Kind::kUsage) {
    const char* page = e.page == 7 ? "key" : e.page == 12 ? "consumer" : e.page == 1 ? "system" : "page";
    std::snprintf(buf, sizeof buf, "%6u ms  %-8s 0x%04x %s", e.t, page, static_cast<unsigned>(e.usage),
                  e.down ? "down" : "up");
  } else {
    std::snprintf(buf, sizeof buf, "%6u ms  function %u (%02x %02x %02x)", e.t,
                  static_cast<unsigned>(e.function), e.triple[0], e.triple[1], e.triple[2]);
  }
  return buf;
}

}  // namespace keyloom::emulator
