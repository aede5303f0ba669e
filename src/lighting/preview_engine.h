#pragma once
// The on-screen effect preview: every 50 ms, while the lighting panel is
// open, the key buttons of the on-screen keyboard are recoloured to imitate
// the selected lighting effect. The engine only computes colours; a sink
// (the key buttons, or a table in the command-line tool) receives them.
#include <array>
#include <cstdint>

#include "lighting/lighting_state.h"
#include "lighting/preview_host.h"
#include "lighting/preview_particles.h"

namespace keyloom::lighting::preview {

constexpr int kTickMilliseconds = 50;
constexpr int kHighestEffect = 20;

// What a tick needs of the current lighting values.
struct PreviewInput {
  int effect = 0;
  int direction = 0;  // 0 moves backwards, anything else forwards
  bool colourful = false;
  Colour main_colour = 0;  // red | green << 8 | blue << 16
};
PreviewInput PreviewInputFrom(const LightingState& state);

// Forwards or backwards by `step` within 0..length-1.
int Advance(bool forwards, int phase, int step, int length);

// State of the scripted demonstration (effect 14).
struct DemoState {
  int stage = 0;
  int step = 0;
  std::uint8_t hue = 0;
};

class PreviewEngine {
 public:
  PreviewEngine(PreviewClock& clock, PreviewRandom& random);

  // The effect selector changed the effect: the next tick restarts the
  // particle buffers.
  void RequestRestart() { restarted_ = false; }

  // One timer tick. With the panel closed nothing changes.
  void Tick(const PreviewInput& input, bool panel_open, KeyOverlaySink& sink);

  // The step of input.effect alone (no restart handling).
  void RunStep(const PreviewInput& input, KeyOverlaySink& sink);

  // Phase counters, per effect number (0..20).
  int Phase(int effect) const;
  void SetPhase(int effect, int phase);

  // Particle buffers and wave planes (0: effects 10 and 15, 1: effect 14,
  // 2: effect 13, 3: effect 16).
  ParticlePair& Pair(int i) { return pairs_[i]; }
  WavePlanes& Set(int i) { return sets_[i]; }
  const DemoState& Demo() const { return demo_; }
  int TwinkleCounter() const { return twinkle_counter_; }
  int RainColumn() const { return rain_column_; }

 private:
  void ResetParticles();
  void StepWheelColumns(const PreviewInput& in, KeyOverlaySink& sink, int effect);
  void StepGradient(const PreviewInput& in, KeyOverlaySink& sink);
  void StepSnake(const PreviewInput& in, KeyOverlaySink& sink);
  void StepAllKeys(const PreviewInput& in, KeyOverlaySink& sink);
  void StepBreathing(const PreviewInput& in, KeyOverlaySink& sink);
  void StepStill(const PreviewInput& in, KeyOverlaySink& sink);
  void StepTwinkle(const PreviewInput& in, KeyOverlaySink& sink);
  void StepSnakeWheel(KeyOverlaySink& sink);
  void StepRows(const PreviewInput& in, KeyOverlaySink& sink);
  void StepCentreRipple(const PreviewInput& in, KeyOverlaySink& sink);
  void StepDemo(const PreviewInput& in, KeyOverlaySink& sink);
  void StepRain(const PreviewInput& in, KeyOverlaySink& sink);
  void StepCornerRipples(const PreviewInput& in, KeyOverlaySink& sink);
  void StepRings(const PreviewInput& in, KeyOverlaySink& sink);
  void Reseed();
  void LightKey(ParticlePair& pair, int id, bool colourful, std::uint8_t hue);

  PreviewClock& clock_;
  PreviewRandom& random_;
  std::array<int, kHighestEffect + 1> phase_{};
  std::array<bool, kHighestEffect + 1> busy_{};  // re-entry flags
  bool restarted_ = false;
  std::array<ParticlePair, 4> pairs_{};
  std::array<WavePlanes, 4> sets_{};
  int twinkle_counter_ = 0;
  bool snake_phases_ready_ = false;
  std::array<int, 105> snake_phases_{};
  bool centre_seeded_ = false;
  DemoState demo_{};
  int rain_column_ = 0;
};

}  // namespace keyloom::lighting::preview
