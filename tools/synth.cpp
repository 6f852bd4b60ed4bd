// Writes every sound effect of the game as a WAV file. All of them are made here from
// oscillators and noise, so the repository holds no recorded audio and the build gives the
// same files every time.
//
// Every file is brought to its category's loudness, measured as a listener hears it (ITU-R
// BS.1770 through libebur128), not to a common peak: a hoot and an explosion of the same peak
// differ by 15 dB to the ear. After writing, the files are measured again and the build fails
// when one falls outside the balance the game wants.
//
// Usage: treadbrawl-synth OUTDIR   (writes OUTDIR/Sounds/<folder>/<stem><n>.wav)
#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kMaxSeconds = 1.5;
constexpr double kPeak = 0.8912509381337456;  // -1 dBFS: the ceiling, with room for the resampler
// Integrated loudness of every file, and of the bombs, which are meant to stand out a little.
constexpr double kLoudness = -19.0;      // LUFS
constexpr double kBombLoudness = -17.5;  // LUFS
// The balance the build insists on.
constexpr double kMaxSpreadLu = 2.0;          // between the quietest and the loudest file
constexpr double kSmallSpeakerHz = 150.0;     // laptop speakers give little below this
constexpr double kMinShareAbove = 1.0 / 3.0;  // of each file's energy
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

// A noisy boom: a sharp crack over darkening low-passed rumble and a falling sine thump, long
// decay. The crack and the upper rumble carry it on small speakers that give no low end.
Samples Bomb(int variant) {
  struct Params {
    double seconds, cutoffHz, decay, thumpHz;
  };
  static const Params kParams[] = {
      {1.40, 700.0, 0.30, 55.0},
      {1.20, 1100.0, 0.22, 72.0},
      {1.50, 650.0, 0.42, 44.0},
      {1.30, 1400.0, 0.26, 62.0},
  };
  const Params& p = kParams[variant];
  size_t frames = FramesFor(p.seconds);
  Noise noise(0xB0B0u + 977u * static_cast<uint32_t>(variant));
  LowPass first(p.cutoffHz), second(p.cutoffHz), crackTop(3500.0), crackBottom(400.0);
  Phase phase;
  Samples rumble(frames), thump(frames), crack(frames);
  for (size_t i = 0; i < frames; ++i) {
    double t = TimeAt(i);
    double attack = std::min(1.0, t / 0.004);
    double cutoff = p.cutoffHz * (0.45 + 0.55 * std::exp(-t / 0.25));
    first.SetCutoff(cutoff);
    second.SetCutoff(cutoff);
    double x = noise.Next();
    rumble[i] = second.Process(first.Process(x)) * attack * std::exp(-t / p.decay);
    double band = crackTop.Process(x) - crackBottom.Process(x);
    crack[i] = band * attack * std::exp(-t / 0.07);
    double hz = p.thumpHz * (1.0 + 1.5 * std::exp(-t / 0.05));
    thump[i] = std::sin(phase.Advance(hz)) * attack * std::exp(-t / (0.6 * p.decay));
  }
  Samples out = Unit(rumble);
  MixInto(out, Unit(crack), 0.5);
  MixInto(out, Unit(thump), 0.3);
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

// A low dull knock: short falling sine with a wooden overtone under a burst of dark noise,
// fast decay. The overtone and the noise are what small speakers let through.
Samples Thud(int variant) {
  struct Params {
    double seconds, hz, decay, cutoffHz;
  };
  static const Params kParams[] = {
      {0.22, 90.0, 0.045, 900.0},
      {0.28, 65.0, 0.060, 700.0},
      {0.18, 120.0, 0.035, 1100.0},
      {0.30, 75.0, 0.070, 650.0},
  };
  const Params& p = kParams[variant];
  size_t frames = FramesFor(p.seconds);
  Noise noise(0x7D0Du + 104729u * static_cast<uint32_t>(variant));
  LowPass first(p.cutoffHz), second(p.cutoffHz);
  Phase phase, overtonePhase;
  Samples tone(frames), overtone(frames), knock(frames);
  for (size_t i = 0; i < frames; ++i) {
    double t = TimeAt(i);
    double attack = std::min(1.0, t / 0.002);
    double hz = p.hz * (1.0 + 0.8 * std::exp(-t / 0.02));
    tone[i] = std::sin(phase.Advance(hz)) * attack * std::exp(-t / p.decay);
    overtone[i] =
        std::sin(overtonePhase.Advance(2.7 * hz)) * attack * std::exp(-t / (0.6 * p.decay));
    knock[i] =
        second.Process(first.Process(noise.Next())) * attack * std::exp(-t / (0.5 * p.decay));
  }
  Samples out = Unit(knock);
  MixInto(out, Unit(tone), 0.6);
  MixInto(out, Unit(overtone), 0.7);
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

// Integrated loudness in LUFS. A sound shorter than one 400 ms gating block is measured over
// one block, the silence after it included, as a short sound is heard.
double Loudness(const Samples& s) {
  ebur128_state* state = ebur128_init(1, kRate, EBUR128_MODE_I);
  if (state == nullptr) throw std::runtime_error("libebur128 cannot start a measurement");
  Samples padded = s;
  padded.resize(std::max(padded.size(), FramesFor(0.4)), 0.0);
  double lufs = -HUGE_VAL;
  if (ebur128_add_frames_double(state, padded.data(), padded.size()) != EBUR128_SUCCESS ||
      ebur128_loudness_global(state, &lufs) != EBUR128_SUCCESS)
    lufs = -HUGE_VAL;
  ebur128_destroy(&state);
  return lufs;
}

// In-place radix-2 transform; the size must be a power of two.
void Fft(std::vector<std::complex<double>>& x) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -kTwoPi / static_cast<double>(length));
    for (size_t i = 0; i < n; i += length) {
      std::complex<double> w = 1.0;
      for (size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> u = x[i + k], v = x[i + k + length / 2] * w;
        x[i + k] = u + v;
        x[i + k + length / 2] = u - v;
        w *= step;
      }
    }
  }
}

// The part of the sound's energy that lies above `hz`.
double ShareAbove(const Samples& s, double hz) {
  size_t n = 1;
  while (n < s.size()) n <<= 1;
  std::vector<std::complex<double>> x(n);
  std::copy(s.begin(), s.end(), x.begin());
  Fft(x);
  double total = 0.0, above = 0.0;
  for (size_t k = 0; k <= n / 2; ++k) {
    const double power = std::norm(x[k]) * (k == 0 || k == n / 2 ? 1.0 : 2.0);
    total += power;
    if (static_cast<double>(k) * kRate / static_cast<double>(n) > hz) above += power;
  }
  return total > 0.0 ? above / total : 0.0;
}

// Holds every sample within the ceiling by turning the gain down smoothly around the peaks
// that pass it: the least gain needed within 2 ms either side, averaged over 2 ms, never
// needs more than any sample within reach of it.
Samples Limit(const Samples& s, double ceiling) {
  const size_t reach = FramesFor(0.002);
  std::vector<double> need(s.size());
  for (size_t i = 0; i < s.size(); ++i)
    need[i] = std::fabs(s[i]) > ceiling ? ceiling / std::fabs(s[i]) : 1.0;
  std::vector<double> least(s.size(), 1.0);
  for (size_t i = 0; i < s.size(); ++i) {
    if (need[i] == 1.0) continue;
    const size_t from = i > reach ? i - reach : 0, to = std::min(s.size(), i + reach + 1);
    for (size_t j = from; j < to; ++j) least[j] = std::min(least[j], need[i]);
  }
  Samples out(s.size());
  const size_t half = reach / 2;
  for (size_t i = 0; i < s.size(); ++i) {
    const size_t from = i > half ? i - half : 0, to = std::min(s.size(), i + half + 1);
    double sum = 0.0;
    for (size_t j = from; j < to; ++j) sum += least[j];
    out[i] = s[i] * sum / static_cast<double>(to - from);
  }
  return out;
}

std::vector<int16_t> Quantise(const Samples& s) {
  std::vector<int16_t> pcm(s.size());
  for (size_t i = 0; i < s.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::clamp(std::round(s[i] * 32767.0), -32767.0, 32767.0));
  return pcm;
}

Samples FromPcm(const std::vector<int16_t>& pcm) {
  Samples s(pcm.size());
  for (size_t i = 0; i < pcm.size(); ++i) s[i] = pcm[i] / 32767.0;
  return s;
}

// Cut to the longest allowed, faded at both ends against clicks, brought to `lufs` with no
// sample above -1 dBFS.
std::vector<int16_t> Finish(Samples s, double lufs) {
  s.resize(std::min(s.size(), FramesFor(kMaxSeconds)));
  size_t fade = std::min(FramesFor(kFadeSeconds), s.size() / 2);
  for (size_t i = 0; i < fade; ++i) {
    double gain = static_cast<double>(i) / static_cast<double>(fade);
    s[i] *= gain;
    s[s.size() - 1 - i] *= gain;
  }
  // Limiting takes off loudness, so the gain is found again from the result a few times.
  double gain = 1.0;
  std::vector<int16_t> pcm;
  for (int round = 0; round < 12; ++round) {
    Samples scaled = s;
    for (double& x : scaled) x *= gain;
    pcm = Quantise(Limit(scaled, kPeak));
    const double measured = Loudness(FromPcm(pcm));
    if (!std::isfinite(measured) || std::fabs(measured - lufs) < 0.05) break;
    gain *= std::pow(10.0, (lufs - measured) / 20.0);
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
  double lufs;
};

const Category kCategories[] = {
    {"random", "random", 7, Jingle, kLoudness}, {"guns", "gun", 4, Gun, kLoudness},
    {"horns", "horn", 4, Horn, kLoudness},      {"bubbles", "bubble", 4, Bubble, kLoudness},
    {"clangs", "clang", 4, Clang, kLoudness},   {"ricochets", "ricochet", 4, Ricochet, kLoudness},
    {"thuds", "thud", 4, Thud, kLoudness},      {"bombs", "bomb", 4, Bomb, kBombLoudness},
};

// What the check measured of one written file.
struct Measured {
  std::string path;
  const Category* category;
  double lufs, shareAbove, peak;
};

// The balance the game wants: all within a few LU, bombs above everything else, enough
// energy where small speakers reach, nothing clipped. Prints one line per category and every
// file that falls outside; false if any does.
bool CheckBalance(const std::vector<Measured>& files) {
  double quietest = HUGE_VAL, loudest = -HUGE_VAL, loudestOther = -HUGE_VAL,
         quietestBomb = HUGE_VAL;
  for (const Measured& m : files) {
    quietest = std::min(quietest, m.lufs);
    loudest = std::max(loudest, m.lufs);
    if (m.category->make == Bomb) {
      quietestBomb = std::min(quietestBomb, m.lufs);
    } else {
      loudestOther = std::max(loudestOther, m.lufs);
    }
  }
  for (const Category& c : kCategories) {
    double low = HUGE_VAL, high = -HUGE_VAL, share = 1.0, peak = 0.0;
    for (const Measured& m : files) {
      if (m.category != &c) continue;
      low = std::min(low, m.lufs);
      high = std::max(high, m.lufs);
      share = std::min(share, m.shareAbove);
      peak = std::max(peak, m.peak);
    }
    std::printf(
        "treadbrawl-synth: %-9s %6.2f to %6.2f LUFS, at least %2.0f%% above %.0f Hz, peak %5.1f "
        "dBFS\n",
        c.folder, low, high, 100.0 * share, kSmallSpeakerHz, 20.0 * std::log10(peak));
  }
  bool ok = true;
  for (const Measured& m : files) {
    const char* path = m.path.c_str();
    if (!std::isfinite(m.lufs)) {
      std::fprintf(stderr, "treadbrawl-synth: %s: no measurable loudness\n", path);
      ok = false;
    }
    if (m.shareAbove < kMinShareAbove) {
      std::fprintf(stderr, "treadbrawl-synth: %s: only %.0f%% of its energy above %.0f Hz\n", path,
                   100.0 * m.shareAbove, kSmallSpeakerHz);
      ok = false;
    }
    if (m.peak > kPeak + 1.0 / 32767.0) {
      std::fprintf(stderr, "treadbrawl-synth: %s: peak above -1 dBFS\n", path);
      ok = false;
    }
  }
  if (loudest - quietest > kMaxSpreadLu) {
    std::fprintf(stderr, "treadbrawl-synth: loudness spreads over %.2f LU (at most %.1f)\n",
                 loudest - quietest, kMaxSpreadLu);
    ok = false;
  }
  if (quietestBomb <= loudestOther) {
    std::fprintf(stderr, "treadbrawl-synth: a bomb is not louder than every other sound\n");
    ok = false;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: treadbrawl-synth OUTDIR\n");
    return 2;
  }
  try {
    const fs::path sounds = fs::path(argv[1]) / "Sounds";
    std::vector<Measured> written;
    for (const Category& category : kCategories) {
      const fs::path folder = sounds / category.folder;
      fs::create_directories(folder);
      for (int n = 1; n <= category.count; ++n) {
        const fs::path path = folder / (std::string(category.stem) + std::to_string(n) + ".wav");
        const std::vector<int16_t> pcm = Finish(category.make(n - 1), category.lufs);
        if (!WriteFile(path, EncodeWav(pcm))) {
          std::fprintf(stderr, "treadbrawl-synth: cannot write %s\n", path.string().c_str());
          return 1;
        }
        const Samples s = FromPcm(pcm);
        written.push_back(
            {path.string(), &category, Loudness(s), ShareAbove(s, kSmallSpeakerHz), PeakOf(s)});
      }
    }
    std::printf("treadbrawl-synth: wrote %zu sounds to %s\n", written.size(),
                sounds.string().c_str());
    if (!CheckBalance(written)) {
      // Leave no files behind that look finished to the next build.
      fs::remove_all(sounds);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "treadbrawl-synth: %s\n", e.what());
    return 1;
  }
  return 0;
}
