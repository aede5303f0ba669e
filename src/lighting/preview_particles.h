#pragma once
// Particle buffers and wave planes of the on-screen effect preview: the
// ripple, rain and twinkle effects light keys on a 23 x 6 grid of bit
// planes and let each lit key fade out tick by tick.
#include <array>
#include <cstdint>

#include "lighting/lighting_state.h"
#include "lighting/preview_host.h"

namespace keyloom::lighting::preview {

constexpr int kPlaneColumns = 24;  // 23 grid columns and one spare
constexpr int kPositionCount = 126;

// Per key position: brightness and hue (a colour-wheel index).
struct ParticlePair {
  std::array<std::uint8_t, 128> brightness{};
  std::array<std::uint8_t, 128> hue{};
  void Clear();  // the 126 key positions
};

// Four planes P0..P3; bit r of a column's byte is grid row r. Bits 6 and 7
// are rows above the grid's end (off the keyboard).
struct WavePlanes {
  std::array<std::array<std::uint8_t, kPlaneColumns>, 4> plane{};
  void Clear();  // the 23 used columns of every plane
  // The four planes of column c together.
  std::uint8_t Column(int c) const;
  bool Lit(int c, int row) const { return (Column(c) >> row) & 1; }
};

// Set bit `row` of column c in all four planes.
void Seed(WavePlanes& set, int c, int row);
// One step of the diamond-shaped front: P0, P1 towards row 0, P2, P3 towards
// higher rows, each plane also copying its old column into its neighbour.
void Spread(WavePlanes& set);
// One step without the column copy: P0, P1 towards row 0, P2, P3 away from it.
void Fall(WavePlanes& set);

// The brightness one fade step below `value`; `larger` gives the scripted
// demonstration's bigger top steps.
std::uint8_t FadeStep(std::uint8_t value, bool larger);

// Every lit grid cell that holds a key: brightness 255 and, when
// colourful, a random hue. The random generator must already be seeded.
void Light(const WavePlanes& set, ParticlePair& pair, bool colourful, PreviewRandom& random);

// Fade every ordinary key one step and show it in its hue's wheel colour
// (colourful) or the main colour, at its brightness.
void Show(ParticlePair& pair, bool colourful, Colour main_colour, bool larger_fade,
          KeyOverlaySink& sink);

}  // namespace keyloom::lighting::preview
