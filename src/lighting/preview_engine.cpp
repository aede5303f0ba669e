#include "lighting/preview_engine.h"

#include "keys/key_catalogue.h"
#include "lighting/preview_tables.h"

namespace keyloom::lighting::preview {

namespace {

constexpr int kLKey = 1066;
constexpr int kPKey = 1053;
constexpr int kLeftCtrlKey = 1083;

int Wrap(int value, int length) {
  const int m = value % length;
  return m < 0 ? m + length : m;
}

// Marks an effect's step as running for as long as it runs.
class StepGuard {
 public:
  explicit StepGuard(bool& flag) : flag_(flag), entered_(!flag) {
    if (entered_) flag_ = true;
  }
  ~StepGuard() {
    if (entered_) flag_ = false;
  }
  StepGuard(const StepGuard&) = delete;
  StepGuard& operator=(const StepGuard&) = delete;
  bool entered() const { return entered_; }

 private:
  bool& flag_;
  bool entered_;
};

// Every key of the key grid with its column (a key spanning two cells is
// shown once per cell, the later cell last).
template <typename F>
void ForEachGridKey(F&& f) {
  for (int row = 0; row < kGridRows; ++row)
    for (int c = 0; c < kGridColumns; ++c) {
      const int id = GridKey(row, c);
      if (id != kNoKey) f(id, row, c);
    }
}

// The first grid cell of key `id`.
bool FindGridCell(int id, int& row, int& column) {
  for (int r = 0; r < kGridRows; ++r)
    for (int c = 0; c < kGridColumns; ++c)
      if (GridKey(r, c) == id) {
        row = r;
        column = c;
        return true;
      }
  return false;
}

int PositionOf(int id) { return KeyPosition(id); }

}  // namespace

PreviewInput PreviewInputFrom(const LightingState& state) {
  PreviewInput in;
  in.effect = state.effect;
  in.direction = state.direction;
  in.colourful = state.colourful;
  in.main_colour = state.main_colour;
  return in;
}

int Advance(bool forwards, int phase, int step, int length) {
  if (forwards) {
    phase += step;
    if (phase >= length) phase -= length;
  } else {
    phase -= step;
    if (phase < 0) phase += length;
  }
  return phase;
}

PreviewEngine::PreviewEngine(PreviewClock& clock, PreviewRandom& random)
    : clock_(clock), random_(random) {}

int PreviewEngine::Phase(int effect) const {
  return effect >= 0 && effect <= kHighestEffect ? phase_[effect] : 0;
}

void PreviewEngine::SetPhase(int effect, int phase) {
  if (effect >= 0 && effect <= kHighestEffect) phase_[effect] = Wrap(phase, 192);
}

void PreviewEngine::Reseed() { random_.Seed(std::uint32_t(clock_.Seconds())); }

void PreviewEngine::ResetParticles() {
  demo_ = DemoState{};
  rain_column_ = 0;
  pairs_[0].Clear();
  pairs_[3].Clear();
  sets_[0].Clear();
  sets_[3].Clear();
  Seed(sets_[0], 9, 6);
  Seed(sets_[3], 1, 0);
}

void PreviewEngine::Tick(const PreviewInput& input, bool panel_open, KeyOverlaySink& sink) {
  if (!panel_open) return;
  if (!restarted_) {
    ResetParticles();
    restarted_ = true;
  }
  RunStep(input, sink);
}

void PreviewEngine::RunStep(const PreviewInput& in, KeyOverlaySink& sink) {
  const int effect = in.effect;
  if (effect < 0 || effect > kHighestEffect) {
    sink.ClearKeyColours();
    return;
  }
  StepGuard guard(busy_[effect]);
  if (!guard.entered()) return;
  switch (effect) {
    case 1: StepWheelColumns(in, sink, 1); break;
    case 2: StepGradient(in, sink); break;
    case 3: StepSnake(in, sink); break;
    case 4: StepAllKeys(in, sink); break;
    case 5: StepBreathing(in, sink); break;
    case 6: StepStill(in, sink); break;
    case 10: StepTwinkle(in, sink); break;
    case 11: StepSnakeWheel(sink); break;
    case 12: StepRows(in, sink); break;
    case 13: StepCentreRipple(in, sink); break;
    case 14: StepDemo(in, sink); break;
    case 15: StepRain(in, sink); break;
    case 16: StepCornerRipples(in, sink); break;
    case 18: StepRings(in, sink); break;
    case 20: break;  // the keys keep their custom colours
    default: sink.ClearKeyColours(); break;
  }
}

// Effect 1: columns of the wheel, or a wave of curve A over the main colour.
void PreviewEngine::StepWheelColumns(const PreviewInput& in, KeyOverlaySink& sink, int effect) {
  int& phase = phase_[effect];
  const bool forwards = in.direction != 0;
  if (in.colourful) {
    phase = Advance(forwards, phase, 9, 192);
    const int p = phase;
    ForEachGridKey([&](int id, int, int c) { sink.ShowKeyColour(id, WheelAtPhase(p + 9 * c)); });
  } else {
    phase = Advance(forwards, phase, 7, 96);
    const int p = phase;
    ForEachGridKey([&](int id, int, int c) {
      sink.ShowKeyColour(id, ScaleColour(in.main_colour, CurveA(p + 7 * c)));
    });
  }
}

// Effect 2: a slower wheel, or pulses of curve B travelling along the rows.
void PreviewEngine::StepGradient(const PreviewInput& in, KeyOverlaySink& sink) {
  int& phase = phase_[2];
  if (in.colourful) {
    phase = Advance(in.direction != 0, phase, 4, 192);
    const int p = phase;
    ForEachGridKey([&](int id, int, int c) { sink.ShowKeyColour(id, WheelAtPhase(p + 5 * c)); });
  } else {
    phase = Advance(true, phase, 4, 128);
    const int p = phase;
    const int stride = in.direction != 0 ? 5 : -5;
    ForEachGridKey([&](int id, int, int c) {
      sink.ShowKeyColour(id, ScaleColour(in.main_colour, CurveB(Wrap(p + stride * c, 128))));
    });
  }
}

// Effect 3: the wheel, or curve A, along the snake order.
void PreviewEngine::StepSnake(const PreviewInput& in, KeyOverlaySink& sink) {
  int& phase = phase_[3];
  const bool forwards = in.direction != 0;
  const auto& snake = SnakeOrder();
  if (in.colourful) {
    phase = Advance(forwards, phase, 4, 192);
    for (int i = 0; i < int(snake.size()); ++i)
      sink.ShowKeyColour(snake[i], WheelAtPhase(phase + 5 * i));
  } else {
    phase = Advance(forwards, phase, 4, 96);
    for (int i = 0; i < int(snake.size()); ++i)
      sink.ShowKeyColour(snake[i], ScaleColour(in.main_colour, CurveA(phase + 5 * i)));
  }
}

// Effect 4: every key in the same wheel colour.
void PreviewEngine::StepAllKeys(const PreviewInput& in, KeyOverlaySink& sink) {
  int& phase = phase_[4];
  phase = Advance(in.direction != 0, phase, 2, 192);
  const Colour colour = WheelAtPhase(phase);
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) sink.ShowKeyColour(key.controlId, colour);
}

// Effect 5: breathing along curve C.
void PreviewEngine::StepBreathing(const PreviewInput& in, KeyOverlaySink& sink) {
  int& phase = phase_[5];
  phase = Advance(true, phase, 2, 128);
  const int v = CurveC(phase);
  ForEachGridKey([&](int id, int, int c) {
    const Colour base = in.colourful ? WheelAtPhase(7 * c) : in.main_colour;
    sink.ShowKeyColour(id, ScaleColour(base, v));
  });
}

// Effect 6: a still rainbow, or the main colour.
void PreviewEngine::StepStill(const PreviewInput& in, KeyOverlaySink& sink) {
  if (in.colourful) {
    ForEachGridKey([&](int id, int, int c) {
      int index = 9 * c;
      if (index >= 192) index = 0;
      sink.ShowKeyColour(id, WheelAtPhase(index));
    });
  } else {
    for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) sink.ShowKeyColour(key.controlId, in.main_colour);
  }
}

void PreviewEngine::LightKey(ParticlePair& pair, int id, bool colourful, std::uint8_t hue) {
  const int position = PositionOf(id);
  if (position < 0 || position >= kPositionCount) return;
  pair.brightness[position] = 255;
  if (colourful) pair.hue[position] = hue;
}

// Effect 10: three keys of the twinkle sequence light up each tick.
void PreviewEngine::StepTwinkle(const PreviewInput& in, KeyOverlaySink& sink) {
  ParticlePair& pair = pairs_[0];
  const auto& sequence = TwinkleSequence();
  Reseed();
  for (int n = 0; n < 3; ++n) {
    ++twinkle_counter_;
    if (twinkle_counter_ > 104 || twinkle_counter_ < 0) twinkle_counter_ = 0;
    LightKey(pair, sequence[twinkle_counter_], true, std::uint8_t(random_.Next() % 255));
  }
  Show(pair, in.colourful, in.main_colour, false, sink);
}

// Effect 11: every key of the snake order runs round the wheel from its
// own start phase.
void PreviewEngine::StepSnakeWheel(KeyOverlaySink& sink) {
  const auto& snake = SnakeOrder();
  if (!snake_phases_ready_) {
    int phase = 0;
    for (int& p : snake_phases_) {
      phase += 33;
      if (phase > 192) phase -= 192;
      p = phase;
    }
    snake_phases_ready_ = true;
  }
  for (int i = 0; i < int(snake.size()); ++i) {
    int& p = snake_phases_[i];
    p += 3;
    if (p >= 192) p -= 192;
    sink.ShowKeyColour(snake[i], WheelAtPhase(p));
  }
}

// Effect 12: each row a step of the wheel.
void PreviewEngine::StepRows(const PreviewInput& in, KeyOverlaySink& sink) {
  int& phase = phase_[12];
  phase = Advance(in.direction != 0, phase, 3, 192);
  const int p = phase;
  ForEachGridKey([&](int id, int row, int) { sink.ShowKeyColour(id, WheelAtPhase(p + 32 * row)); });
}

// Effect 13: ripples from column 9.
void PreviewEngine::StepCentreRipple(const PreviewInput& in, KeyOverlaySink& sink) {
  WavePlanes& set = sets_[2];
  if (!centre_seeded_) {
    Seed(set, 9, 6);
    centre_seeded_ = true;
  }
  const std::uint8_t column = set.Column(9);
  if (column == 0x01) Seed(set, 9, 0);
  if (column == 0x40) Seed(set, 9, 6);
  Reseed();
  Light(set, pairs_[2], in.colourful, random_);
  Spread(set);
  Show(pairs_[2], in.colourful, in.main_colour, false, sink);
}

// Effect 14: a sweep, a run of key pairs, a ripple from the P key, and a
// pause until the last lit key has faded.
void PreviewEngine::StepDemo(const PreviewInput& in, KeyOverlaySink& sink) {
  ParticlePair& pair = pairs_[1];
  WavePlanes& set = sets_[1];
  DemoState& d = demo_;
  ++d.hue;
  switch (d.stage) {
    case 0: {
      const int row = Wrap(d.step, int(SweepTable().size()));
      for (int id : SweepTable()[row]) {
        if (id == kNoKey) continue;
        d.hue = std::uint8_t(d.hue + 11);
        LightKey(pair, id, in.colourful, d.hue);
      }
      ++d.step;
      if (d.step > 19) {
        d.step = 0;
        d.stage = 1;
      }
      break;
    }
    case 1: {
      if (d.step < 31) {
        for (int id : PairTable()[d.step % 16]) {
          d.hue = std::uint8_t(d.hue + 1);
          LightKey(pair, id, in.colourful, d.hue);
        }
        ++d.step;
      } else if (pair.brightness[PositionOf(kLKey)] == 0) {
        d.stage = 2;
        d.step = 0;
      }
      break;
    }
    case 2: {
      int row = 0, column = 0;
      if (FindGridCell(kPKey, row, column)) Seed(set, column, row);
      d.stage = 3;
      break;
    }
    case 3: {
      Reseed();
      Light(set, pair, in.colourful, random_);
      Spread(set);
      if (pair.brightness[PositionOf(kLeftCtrlKey)] == 255) d.stage = 4;
      break;
    }
    default: {
      if (pair.brightness[PositionOf(kLeftCtrlKey)] == 0) {
        d.stage = 0;
        d.step = 0;
      }
      break;
    }
  }
  Show(pair, in.colourful, in.main_colour, true, sink);
}

// Effect 15: rain.
void PreviewEngine::StepRain(const PreviewInput& in, KeyOverlaySink& sink) {
  WavePlanes& set = sets_[0];
  rain_column_ = Wrap(rain_column_ + 7, kGridColumns);
  for (int n = 0; n < 3; ++n) {
    rain_column_ = Wrap(rain_column_ + 3, kGridColumns);
    Seed(set, rain_column_, 0);
  }
  Reseed();
  Light(set, pairs_[0], in.colourful, random_);
  Fall(set);
  Show(pairs_[0], in.colourful, in.main_colour, false, sink);
}

// Effect 16: ripples from two corners.
void PreviewEngine::StepCornerRipples(const PreviewInput& in, KeyOverlaySink& sink) {
  WavePlanes& set = sets_[3];
  if (set.Column(1) == 0x01) Seed(set, 1, 0);
  if (set.Column(22) == 0x40) Seed(set, 22, 6);
  Reseed();
  Light(set, pairs_[3], in.colourful, random_);
  Spread(set);
  Show(pairs_[3], in.colourful, in.main_colour, false, sink);
}

// Effect 18: rings around the O key.
void PreviewEngine::StepRings(const PreviewInput& in, KeyOverlaySink& sink) {
  int& phase = phase_[18];
  phase = Wrap(phase + (in.direction != 0 ? 2 : -2), 192);
  const auto& rings = Rings();
  for (int i = 0; i < int(rings.size()); ++i) {
    const Colour colour = WheelAtPhase(phase + 21 * (i + 1));
    for (int id : rings[i])
      if (id != kNoKey) sink.ShowKeyColour(id, colour);
  }
}

}  // namespace keyloom::lighting::preview
