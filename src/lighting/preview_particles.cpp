#include "lighting/preview_particles.h"

#include "keys/key_catalogue.h"
#include "lighting/preview_tables.h"

namespace keyloom::lighting::preview {

void ParticlePair::Clear() {
  for (int p = 0; p < kPositionCount; ++p) {
    brightness[p] = 0;
    hue[p] = 0;
  }
}

void WavePlanes::Clear() {
  for (auto& p : plane)
    for (int c = 0; c < kGridColumns; ++c) p[c] = 0;
}

std::uint8_t WavePlanes::Column(int c) const {
  if (c < 0 || c >= kPlaneColumns) return 0;
  return std::uint8_t(plane[0][c] | plane[1][c] | plane[2][c] | plane[3][c]);
}

void Seed(WavePlanes& set, int c, int row) {
  if (c < 0 || c >= kGridColumns || row < 0 || row > 7) return;
  for (auto& p : set.plane) p[c] = std::uint8_t(p[c] | (1u << row));
}

void Spread(WavePlanes& set) {
  const WavePlanes old = set;
  auto& p0 = set.plane[0];
  auto& p1 = set.plane[1];
  auto& p2 = set.plane[2];
  auto& p3 = set.plane[3];
  const auto& o0 = old.plane[0];
  const auto& o1 = old.plane[1];
  const auto& o2 = old.plane[2];
  const auto& o3 = old.plane[3];
  constexpr int last = kGridColumns - 1;
  for (int c = 0; c < last; ++c) {
    p0[c] = std::uint8_t((o0[c] >> 1) | o0[c + 1]);
    p3[c] = std::uint8_t((o3[c] << 1) | o3[c + 1]);
  }
  p0[last] = std::uint8_t(o0[last] >> 1);
  p3[last] = std::uint8_t(o3[last] << 1);
  for (int c = 1; c <= last; ++c) {
    p1[c] = std::uint8_t((o1[c] >> 1) | o1[c - 1]);
    p2[c] = std::uint8_t((o2[c] << 1) | o2[c - 1]);
  }
  p1[0] = std::uint8_t(o1[0] >> 1);
  p2[0] = std::uint8_t(o2[0] << 1);
}

void Fall(WavePlanes& set) {
  for (int c = 0; c < kGridColumns; ++c) {
    set.plane[0][c] = std::uint8_t(set.plane[0][c] >> 1);
    set.plane[1][c] = std::uint8_t(set.plane[1][c] >> 1);
    set.plane[2][c] = std::uint8_t(set.plane[2][c] << 1);
    set.plane[3][c] = std::uint8_t(set.plane[3][c] << 1);
  }
}

std::uint8_t FadeStep(std::uint8_t value, bool larger) {
  int step;
  if (value >= 128)
    step = larger ? 30 : 20;
  else if (value >= 64)
    step = larger ? 20 : 16;
  else if (value >= 32)
    step = 10;
  else if (value >= 17)
    step = 5;
  else if (value >= 1)
    step = 1;
  else
    step = 0;
  return std::uint8_t(value - step);
}

void Light(const WavePlanes& set, ParticlePair& pair, bool colourful, PreviewRandom& random) {
  for (int c = 0; c < kGridColumns; ++c) {
    const std::uint8_t column = set.Column(c);
    if (column == 0) continue;
    for (int row = 0; row < kGridRows; ++row) {
      if (!((column >> row) & 1)) continue;
      const int id = GridKey(row, c);
      if (id == kNoKey) continue;
      const int position = KeyPosition(id);
      if (position < 0 || position >= kPositionCount) continue;
      pair.brightness[position] = 255;
      if (colourful) pair.hue[position] = std::uint8_t(random.Next() % 255);
    }
  }
}

void Show(ParticlePair& pair, bool colourful, Colour main_colour, bool larger_fade,
          KeyOverlaySink& sink) {
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) {
    const int p = key.colourPosition;
    pair.brightness[p] = FadeStep(pair.brightness[p], larger_fade);
    const Colour base = colourful ? WheelEntry(pair.hue[p]) : main_colour;
    sink.ShowKeyColour(key.controlId, ScaleColour(base, pair.brightness[p]));
  }
}

}  // namespace keyloom::lighting::preview
