// Writes every sound effect of the game as a WAV file. All of them are made here from
// oscillators and noise, so the repository holds no recorded audio and the build gives the
// same files every time.
//
// Usage: treadbrawl-synth OUTDIR   (writes OUTDIR/Sounds/<folder>/<stem><n>.wav)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kMaxSeconds = 1.5;
constexpr double kPeak = 0.8912509381337456;  // -1 dBFS: loud, with room for the resampler
constexpr double kFadeSeconds = 0.005;
// Partials above this are left out so nothing folds back below the Nyquist limit.
constexpr double kHighestPartial = 0.45 * kRate;

using Samples = std::vector<double>;

// xorshift32: our own generator so the noise does not depend on the standard library.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }
  // Uniform in [lo, hi).
  double Between(double lo, double hi) { return lo + (hi - lo) * 0.5 * (Next() + 1.0); }

 private:
  uint32_t state_;
};

class LowPass {
 public:
  explicit LowPass(double cutoffHz) { SetCutoff(cutoffHz); }
  void SetCutoff(double cutoffHz) { a_ = 1.0 - std::exp(-kTwoPi * cutoffHz / kRate); }
  double Process(double x) {
    y_ += a_ * (x - y_);
    return y_;
  }

 private:
  double a_ = 0.0;
  double y_ = 0.0;
};

// Phase that follows a changing frequency without jumps.
class Phase {
 public:
  double Advance(double hz) {
    double now = phase_;
    phase_ = std::fmod(phase_ + kTwoPi * hz / kRate, kTwoPi);
    return now;
  }

 private:
  double phase_ = 0.0;
};

enum class Wave { kSine, kSquare, kSaw, kTriangle };

// Band-limited by adding harmonics one by one, so high notes stay clean.
double Oscillator(Wave wave, double phase, double hz) {
  if (wave == Wave::kSine) return std::sin(phase);
  int highest = std::max(1, static_cast<int>(kHighestPartial / hz));
  double sum = 0.0;
  for (int k = 1; k <= highest; ++k) {
    switch (wave) {
      case Wave::kSquare:
        if (k % 2 == 1) sum += std::sin(k * phase) / k;
        break;
      case Wave::kSaw:
        sum += (k % 2 == 1 ? 1.0 : -1.0) * std::sin(k * phase) / k;
        break;
      case Wave::kTriangle:
        if (k % 2 == 1) sum += ((k / 2) % 2 == 0 ? 1.0 : -1.0) * std::sin(k * phase) / (k * k);
        break;
      case Wave::kSine:
        break;
    }
  }
  return sum;
}

size_t FramesFor(double seconds) { return static_cast<size_t>(seconds * kRate + 0.5); }
double TimeAt(size_t i) { return static_cast<double>(i) / kRate; }

double PeakOf(const Samples& s) {
  double peak = 0.0;
  for (double x : s) peak = std::max(peak, std::fabs(x));
  return peak;
}

// Brought to unit peak so that layers can be mixed by plain weights.
Samples Unit(Samples s) {
  double peak = PeakOf(s);
  if (peak > 0.0)
    for (double& x : s) x /= peak;
  return s;
}

void MixInto(Samples& dst, const Samples& src, double gain, size_t offset = 0) {
  if (dst.size() < offset + src.size()) dst.resize(offset + src.size(), 0.0);
  for (size_t i = 0; i < src.size(); ++i) dst[offset + i] += gain * src[i];
}

// Smooth rise and fall of a note, so notes that follow each other do not click.
double NoteEnvelope(double t, double length, double attack, double release) {
  if (t < 0.0 || t >= length) return 0.0;
  double gain = 1.0;
  if (t < attack) gain = 0.5 - 0.5 * std::cos(kPi * t / attack);
  if (length - t < release) gain *= 0.5 - 0.5 * std::cos(kPi * (length - t) / release);
  return gain;
}

// A noisy boom: darkening low-passed rumble over a falling sine thump, long decay.
Samples Bomb(int variant) {
  struct Params {
    double seconds, cutoffHz, decay, thumpHz;
  };
  static const Params kParams[] = {
      {1.40, 420.0, 0.30, 55.0},
      {1.20, 700.0, 0.22, 72.0},
      {1.50, 260.0, 0.42, 44.0},
      {1.30, 950.0, 0.26, 62.0},
  };
  const Params& p = kParams[variant];
  size_t frames = FramesFor(p.seconds);
  Noise noise(0xB0B0u + 977u * static_cast<uint32_t>(variant));
  LowPass first(p.cutoffHz), second(p.cutoffHz);
  Phase phase;
  Samples rumble(frames), thump(frames);
  for (size_t i = 0; i < frames; ++i) {
    double t = TimeAt(i);
    double attack = std::min(1.0, t / 0.004);
    double cutoff = p.cutoffHz * (0.3 + 0.7 * std::exp(-t / 0.25));
    first.SetCutoff(cutoff);
    second.SetCutoff(cutoff);
    rumble[i] = second.Process(first.Process(noise.Next())) * attack * std::exp(-t / p.decay);
    double hz = p.thumpHz * (1.0 + 1.5 * std::exp(-t / 0.05));
    thump[i] = std::sin(phase.Advance(hz)) * attack * std::exp(-t / (0.6 * p.decay));
  }
  Samples out = Unit(rumble);
  MixInto(out, Unit(thump), 0.7);
  return out;
}

// A metallic ring: a few inharmonic partials, each with its own decay, struck by a tick of
// noise. A second copy of each partial, slightly detuned, makes the shimmer of real metal.
Samples Clang(int variant) {
  struct Params {
    double seconds, baseHz, decay;
    std::vector<double> ratios;
  };
  static const Params kParams[] = {
      {1.20, 620.0, 0.45, {1.0, 2.76, 5.40, 8.93}},
      {1.00, 810.0, 0.35, {1.0, 1.59, 2.14, 2.30, 2.65}},
      {1.40, 500.0, 0.60, {1.0, 2.41, 3.87, 5.33}},
      {0.90, 1040.0, 0.30, {1.0, 1.47, 2.83, 4.11, 6.02}},
  };
  const Params& p = kParams[variant];
  size_t frames = FramesFor(p.seconds);
  Samples out(frames, 0.0);
  for (size_t k = 0; k < p.ratios.size(); ++k) {
    double hz = p.baseHz * p.ratios[k];
    if (hz > kHighestPartial) continue;
    double amp = 1.0 / std::pow(static_cast<double>(k + 1), 0.7);
    double decay = p.decay / (1.0 + 0.6 * static_cast<double>(k));
    double beat = 1.0 + 0.0015 * static_cast<double>(k + 1);
    Phase a, b;
    for (size_t i = 0; i < frames; ++i) {
      double t = TimeAt(i);
      double env = std::min(1.0, t / 0.001) * std::exp(-t / decay);
      out[i] += amp * env * (std::sin(a.Advance(hz)) + 0.5 * std::sin(b.Advance(hz * beat)));
    }
  }
  Noise noise(0xC1A9u + 31u * static_cast<uint32_t>(variant));
  LowPass body(1500.0);
  Samples strike(FramesFor(0.012));
  for (size_t i = 0; i < strike.size(); ++i) {
    double x = noise.Next();
    strike[i] = (x - body.Process(x)) * std::exp(-TimeAt(i) / 0.003);  // high part only
  }
  Samples ring = Unit(out);
  MixInto(ring, Unit(strike), 0.35);
  return ring;
}

// A falling whine: an exponential sine sweep downwards with a hiss at the hit.
Samples Ricochet(int variant) {
  struct Params {
    double seconds, fromHz, toHz, wobble;
  };
  static const Params kParams[] = {
      {0.55, 3200.0, 700.0, 0.0},
      {0.70, 2600.0, 520.0, 0.025},
      {0.45, 3800.0, 1100.0, 0.0},
      {0.85, 2900.0, 420.0, 0.04},
  };
  const Params& p = kParams[variant];
  size_t frames = FramesFor(p.seconds);
  Noise noise(0x51CEu + 7919u * static_cast<uint32_t>(variant));
  LowPass dull(4000.0);
  Phase phase;
  Samples whine(frames), hiss(frames);
  for (size_t i = 0; i < frames; ++i) {
    double t = TimeAt(i);
    double x = t / p.seconds;
    double hz = p.fromHz * std::pow(p.toHz / p.fromHz, x);
    hz *= 1.0 + p.wobble * std::sin(kTwoPi * 9.0 * t);
    double ph = phase.Advance(hz);
    double env = std::min(1.0, t / 0.003) * std::pow(1.0 - x, 1.3);
    whine[i] = env * (std::sin(ph) + 0.2 * std::sin(2.0 * ph));
    hiss[i] = dull.Process(noise.Next()) * (std::exp(-t / 0.03) + 0.08 * (1.0 - x));
  }
  Samples out = Unit(whine);
  MixInto(out, Unit(hiss), 0.3);
  return out;
}

// A low dull knock: short falling sine under a burst of dark noise, fast decay.
Samples Thud(int variant) {
  struct Params {
    double seconds, hz, decay, cutoffHz;
  };
  static const Params kParams[] = {
      {0.22, 90.0, 0.045, 400.0},
      {0.28, 65.0, 0.060, 300.0},
      {0.18, 120.0, 0.035, 550.0},
      {0.30, 75.0, 0.070, 250.0},
  };
  const Params& p = kParams[variant];
  size_t frames = FramesFor(p.seconds);
  Noise noise(0x7D0Du + 104729u * static_cast<uint32_t>(variant));
  LowPass first(p.cutoffHz), second(p.cutoffHz);
  Phase phase;
  Samples tone(frames), knock(frames);
  for (size_t i = 0; i < frames; ++i) {
    double t = TimeAt(i);
    double attack = std::min(1.0, t / 0.002);
    double hz = p.hz * (1.0 + 0.8 * std::exp(-t / 0.02));
    tone[i] = std::sin(phase.Advance(hz)) * attack * std::exp(-t / p.decay);
    knock[i] =
        second.Process(first.Process(noise.Next())) * attack * std::exp(-t / (0.5 * p.decay));
  }
  Samples out = Unit(tone);
  MixInto(out, Unit(knock), 0.5);
  return out;
}

// A sharp pop: a click, then a very short burst of noise with a little low body.
Samples Gun(int variant) {
  struct Params {
    double seconds, decay, cutoffHz, clickHz;
  };
  static const Params kParams[] = {
      {0.18, 0.025, 5000.0, 2500.0},
      {0.22, 0.035, 3000.0, 1800.0},
      {0.14, 0.018, 7000.0, 3200.0},
      {0.25, 0.045, 2200.0, 1400.0},
  };
  const Params& p = kParams[variant];
  // The sound starts after the fade-in so the click keeps its edge.
  size_t lead = FramesFor(kFadeSeconds);
  size_t frames = lead + FramesFor(p.seconds);
  Noise noise(0x6A11u + 65537u * static_cast<uint32_t>(variant));
  LowPass tone(p.cutoffHz);
  Phase clickPhase, bodyPhase;
  Samples click(frames, 0.0), burst(frames, 0.0), body(frames, 0.0);
  for (size_t i = lead; i < frames; ++i) {
    double t = TimeAt(i - lead);
    click[i] = (std::sin(clickPhase.Advance(p.clickHz)) > 0.0 ? 1.0 : -1.0) * std::exp(-t / 0.002);
    burst[i] = tone.Process(noise.Next()) * std::exp(-t / p.decay);
    body[i] = std::sin(bodyPhase.Advance(150.0 + 40.0 * variant)) * std::exp(-t / 0.03);
  }
  Samples out = Unit(burst);
  MixInto(out, Unit(click), 0.6);
  MixInto(out, Unit(body), 0.4);
  return out;
}

// A two-tone hoot: two square or saw tones one after the other, softened and gently enveloped.
Samples Horn(int variant) {
  struct Params {
    double firstHz, secondHz, noteSeconds;
    Wave wave;
  };
  static const Params kParams[] = {
      {392.0, 311.1, 0.28, Wave::kSquare},
      {440.0, 554.4, 0.24, Wave::kSaw},
      {329.6, 261.6, 0.32, Wave::kSquare},
      {523.3, 392.0, 0.20, Wave::kSaw},
  };
  const Params& p = kParams[variant];
  const double gap = 0.04;
  Samples out;
  const double notes[] = {p.firstHz, p.secondHz};
  for (int n = 0; n < 2; ++n) {
    size_t frames = FramesFor(p.noteSeconds);
    Samples note(frames);
    LowPass soft(2500.0);
    Phase phase;
    for (size_t i = 0; i < frames; ++i) {
      double t = TimeAt(i);
      double hz = notes[n] * (1.0 + 0.004 * std::sin(kTwoPi * 5.5 * t));
      double wave = Oscillator(p.wave, phase.Advance(hz), hz);
      note[i] = soft.Process(wave) * NoteEnvelope(t, p.noteSeconds, 0.025, 0.04);
    }
    MixInto(out, note, 1.0, FramesFor(n * (p.noteSeconds + gap)));
  }
  return out;
}

// Rising blips: a few short sine glides upwards at scattered pitches and spacing.
Samples Bubble(int variant) {
  static const int kBlips[] = {5, 4, 6, 7};
  Noise noise(0xB0B1u + 613u * static_cast<uint32_t>(variant));
  Samples out;
  double start = 0.0;
  for (int b = 0; b < kBlips[variant]; ++b) {
    double fromHz = noise.Between(300.0, 900.0);
    double rise = noise.Between(1.6, 2.4);
    double seconds = noise.Between(0.03, 0.06);
    size_t frames = FramesFor(seconds);
    Samples blip(frames);
    Phase phase;
    for (size_t i = 0; i < frames; ++i) {
      double x = TimeAt(i) / seconds;
      double env = std::sin(kPi * x);
      blip[i] = std::sin(phase.Advance(fromHz * std::pow(rise, x))) * env * env;
    }
    MixInto(out, blip, noise.Between(0.6, 1.0), FramesFor(start));
    start += seconds + noise.Between(0.02, 0.06);
  }
  return out;
}

// Short jingles: a different little tune, tempo and timbre for each number.
Samples Jingle(int variant) {
  struct Params {
    double noteSeconds;
    Wave wave;
    std::vector<int> semitones;  // from C5
  };
  static const Params kParams[] = {
      {0.12, Wave::kTriangle, {0, 4, 7, 12}},       {0.10, Wave::kSquare, {12, 7, 4, 0, -5}},
      {0.14, Wave::kSine, {0, 2, 4, 5, 7, 9}},      {0.16, Wave::kTriangle, {7, 7, 12}},
      {0.09, Wave::kSquare, {0, 3, 7, 10, 15}},     {0.13, Wave::kSaw, {5, 0, 9, 4}},
      {0.11, Wave::kSine, {-12, 0, -5, 7, 12, 19}},
  };
  const Params& p = kParams[variant];
  const double c5 = 523.25;
  Samples out;
  for (size_t n = 0; n < p.semitones.size(); ++n) {
    bool last = n + 1 == p.semitones.size();
    double length = last ? 2.5 * p.noteSeconds : p.noteSeconds;
    double hz = c5 * std::pow(2.0, p.semitones[n] / 12.0);
    size_t frames = FramesFor(length);
    Samples note(frames);
    Phase phase;
    for (size_t i = 0; i < frames; ++i) {
      double t = TimeAt(i);
      double env = NoteEnvelope(t, length, 0.005, 0.02) * std::exp(-t / (0.6 * length));
      note[i] = Oscillator(p.wave, phase.Advance(hz), hz) * env;
    }
    MixInto(out, note, 1.0, FramesFor(static_cast<double>(n) * p.noteSeconds));
  }
  return out;
}

// Cut to the longest allowed, faded at both ends against clicks, brought to -1 dBFS.
std::vector<int16_t> Finish(Samples s) {
  s.resize(std::min(s.size(), FramesFor(kMaxSeconds)));
  size_t fade = std::min(FramesFor(kFadeSeconds), s.size() / 2);
  for (size_t i = 0; i < fade; ++i) {
    double gain = static_cast<double>(i) / static_cast<double>(fade);
    s[i] *= gain;
    s[s.size() - 1 - i] *= gain;
  }
  double peak = PeakOf(s);
  double scale = peak > 0.0 ? kPeak / peak : 0.0;
  std::vector<int16_t> pcm(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    double v = std::clamp(std::round(s[i] * scale * 32767.0), -32767.0, 32767.0);
    pcm[i] = static_cast<int16_t>(v);
  }
  return pcm;
}

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFFu));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFFu);
  PutU16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// Little-endian whatever the host, as the format demands.
std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& pcm) {
  const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  PutTag(out, "RIFF");
  PutU32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // PCM
  PutU16(out, 1);  // mono
  PutU32(out, kRate);
  PutU32(out, kRate * 2);  // bytes per second
  PutU16(out, 2);          // bytes per frame
  PutU16(out, 16);         // bits per sample
  PutTag(out, "data");
  PutU32(out, dataBytes);
  for (int16_t sample : pcm) PutU16(out, static_cast<uint16_t>(sample));
  return out;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

struct Category {
  const char* folder;
  const char* stem;
  int count;
  Samples (*make)(int variant);
};

const Category kCategories[] = {
    {"random", "random", 7, Jingle}, {"guns", "gun", 4, Gun},
    {"horns", "horn", 4, Horn},      {"bubbles", "bubble", 4, Bubble},
    {"clangs", "clang", 4, Clang},   {"ricochets", "ricochet", 4, Ricochet},
    {"thuds", "thud", 4, Thud},      {"bombs", "bomb", 4, Bomb},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: treadbrawl-synth OUTDIR\n");
    return 2;
  }
  try {
    const fs::path sounds = fs::path(argv[1]) / "Sounds";
    int written = 0;
    for (const Category& category : kCategories) {
      const fs::path folder = sounds / category.folder;
      fs::create_directories(folder);
      for (int n = 1; n <= category.count; ++n) {
        const fs::path path = folder / (std::string(category.stem) + std::to_string(n) + ".wav");
        if (!WriteFile(path, EncodeWav(Finish(category.make(n - 1))))) {
          std::fprintf(stderr, "treadbrawl-synth: cannot write %s\n", path.string().c_str());
          return 1;
        }
        ++written;
      }
    }
    std::printf("treadbrawl-synth: wrote %d sounds to %s\n", written, sounds.string().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "treadbrawl-synth: %s\n", e.what());
    return 1;
  }
  return 0;
}
