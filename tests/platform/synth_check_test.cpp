#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Category {
  const char* folder;
  const char* stem;
  int count;
};

const Category kCategories[] = {
    {"random", "random", 7},  {"guns", "gun", 4},     {"horns", "horn", 4},
    {"bubbles", "bubble", 4}, {"clangs", "clang", 4}, {"ricochets", "ricochet", 4},
    {"thuds", "thud", 4},     {"bombs", "bomb", 4},
};

struct Sound {
  std::string path;
  uint16_t formatTag = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  std::vector<int16_t> samples;
  double Seconds() const { return static_cast<double>(samples.size()) / rate; }
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return v;
}

// Walks the chunks the way a player would, rather than trusting a fixed 44-byte header.
::testing::AssertionResult Read(const std::string& path, Sound& sound) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ::testing::AssertionFailure() << "missing " << path;
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  sound.path = path;
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE" || Le(b, 4, 4) + 8 != b.size())
    return ::testing::AssertionFailure() << "not a whole RIFF WAVE file: " << path;
  bool haveFormat = false, haveData = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    std::string id(b.begin() + at, b.begin() + at + 4);
    size_t size = Le(b, at + 4, 4);
    if (at + 8 + size > b.size()) return ::testing::AssertionFailure() << "chunk overrun " << path;
    if (id == "fmt " && size >= 16) {
      sound.formatTag = static_cast<uint16_t>(Le(b, at + 8, 2));
      sound.channels = static_cast<uint16_t>(Le(b, at + 10, 2));
      sound.rate = Le(b, at + 12, 4);
      sound.bits = static_cast<uint16_t>(Le(b, at + 22, 2));
      haveFormat = true;
    } else if (id == "data") {
      for (size_t i = 0; i + 1 < size; i += 2)
        sound.samples.push_back(static_cast<int16_t>(Le(b, at + 8 + i, 2)));
      haveData = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!haveFormat || !haveData) return ::testing::AssertionFailure() << "no fmt or data " << path;
  return ::testing::AssertionSuccess();
}

std::vector<Sound> ReadCategory(const Category& c) {
  std::vector<Sound> sounds(c.count);
  for (int n = 1; n <= c.count; ++n) {
    const std::string path = std::string(TREADBRAWL_SOUNDS_DIR) + "/" + c.folder + "/" + c.stem +
                             std::to_string(n) + ".wav";
    EXPECT_TRUE(Read(path, sounds[n - 1]));
  }
  return sounds;
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// Sign changes per second: a cheap stand-in for how high a sound sits.
double CrossingsPerSecond(const Sound& sound, size_t from, size_t to) {
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i)
    if ((sound.samples[i - 1] < 0) != (sound.samples[i] < 0)) ++crossings;
  return crossings * static_cast<double>(sound.rate) / static_cast<double>(to - from);
}

TEST(SynthesisedSoundsTest, AllAreShortMonoPcmUnclippedAndFaded) {
  int files = 0;
  for (const Category& c : kCategories) {
    for (const Sound& s : ReadCategory(c)) {
      SCOPED_TRACE(s.path);
      ++files;
      EXPECT_EQ(s.formatTag, 1);
      EXPECT_EQ(s.channels, 1);
      EXPECT_EQ(s.bits, 16);
      EXPECT_EQ(s.rate, 22050u);
      ASSERT_FALSE(s.samples.empty());
      EXPECT_LE(s.Seconds(), 1.5);
      int peak = 0;
      for (int16_t x : s.samples) peak = std::max(peak, std::abs(static_cast<int>(x)));
      // Brought to a loudness, not a peak: never above -1 dBFS (29204), never faint.
      EXPECT_LE(peak, 29205);
      EXPECT_GE(peak, 3000);
      EXPECT_LT(std::abs(s.samples.front()), 100) << "fade-in";
      EXPECT_LT(std::abs(s.samples.back()), 100) << "fade-out";
    }
  }
  EXPECT_EQ(files, 35);
}

TEST(SynthesisedSoundsTest, VariantsOfACategoryDiffer) {
  for (const Category& c : kCategories) {
    std::vector<Sound> sounds = ReadCategory(c);
    for (size_t a = 0; a < sounds.size(); ++a) {
      for (size_t b = a + 1; b < sounds.size(); ++b) {
        SCOPED_TRACE(sounds[a].path + " vs " + sounds[b].path);
        const auto& x = sounds[a].samples;
        const auto& y = sounds[b].samples;
        size_t length = std::max(x.size(), y.size());
        double difference = 0.0, energy = 0.0;
        for (size_t i = 0; i < length; ++i) {
          double u = i < x.size() ? x[i] : 0.0;
          double v = i < y.size() ? y[i] : 0.0;
          difference += (u - v) * (u - v);
          energy += std::max(u * u, v * v);
        }
        EXPECT_GT(difference / energy, 0.1) << "too alike to tell apart";
      }
    }
  }
}

TEST(SynthesisedSoundsTest, CategoriesSoundLikeTheirEvents) {
  const std::vector<Sound> guns = ReadCategory(kCategories[1]);
  const std::vector<Sound> ricochets = ReadCategory(kCategories[5]);
  const std::vector<Sound> thuds = ReadCategory(kCategories[6]);
  const std::vector<Sound> bombs = ReadCategory(kCategories[7]);
  ASSERT_FALSE(HasFailure());
  for (const Sound& s : guns) EXPECT_LE(s.Seconds(), 0.4) << s.path;
  for (const Sound& s : thuds) EXPECT_LE(s.Seconds(), 0.4) << s.path;
  for (const Sound& s : bombs) {
    SCOPED_TRACE(s.path);
    EXPECT_GE(s.Seconds(), 1.0);
    size_t quarter = s.samples.size() / 4;
    EXPECT_LT(Rms(s.samples, 3 * quarter, s.samples.size()), 0.1 * Rms(s.samples, 0, quarter))
        << "a boom dies away";
  }
  for (const Sound& s : ricochets) {
    SCOPED_TRACE(s.path);
    size_t third = s.samples.size() / 3;
    EXPECT_GT(CrossingsPerSecond(s, 0, third),
              1.5 * CrossingsPerSecond(s, 2 * third, s.samples.size()))
        << "a ricochet falls in pitch";
  }
  // A knock sits far lower than a shot.
  double highestThud = 0.0, lowestGun = 1e9;
  for (const Sound& s : thuds)
    highestThud = std::max(highestThud, CrossingsPerSecond(s, 0, s.samples.size()));
  for (const Sound& s : guns)
    lowestGun = std::min(lowestGun, CrossingsPerSecond(s, 0, s.samples.size() / 4));
  EXPECT_LT(2.0 * highestThud, lowestGun);
}

}  // namespace
