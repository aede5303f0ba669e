#pragma once
// What the effect preview needs from its host: a clock of seconds, a
// seedable random generator, and the key buttons that receive the colours.
#include <cstdint>

#include "lighting/lighting_state.h"

namespace keyloom::lighting::preview {

// Overlay strength of every key the preview shows.
constexpr int kOverlayStrength = 50;

// Seconds of a wall clock; the random generator is re-seeded from it, so
// every tick within the same second draws the same numbers.
class PreviewClock {
 public:
  virtual ~PreviewClock() = default;
  virtual std::int64_t Seconds() = 0;
};

class SystemPreviewClock final : public PreviewClock {
 public:
  std::int64_t Seconds() override;
};

// A seedable generator of non-negative numbers.
class PreviewRandom {
 public:
  virtual ~PreviewRandom() = default;
  virtual void Seed(std::uint32_t seed) = 0;
  virtual int Next() = 0;  // 0..32767
};

// Linear congruential generator with 15-bit results.
class LcgPreviewRandom final : public PreviewRandom {
 public:
  void Seed(std::uint32_t seed) override { state_ = seed; }
  int Next() override;

 private:
  std::uint32_t state_ = 1;
};

// Receives the colours of a tick.
class KeyOverlaySink {
 public:
  virtual ~KeyOverlaySink() = default;
  // Show key button `id` with a colour overlay of `colour`, strength
  // kOverlayStrength, overlay on.
  virtual void ShowKeyColour(int id, Colour colour) = 0;
  // Every macro key, ordinary key and the Fn key: black, overlay off, released.
  virtual void ClearKeyColours() = 0;
};

}  // namespace keyloom::lighting::preview
