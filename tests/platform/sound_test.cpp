#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WavBuilder.h"
#include "platform/SdlSound.h"
#include "platform/SoundMixer.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

const std::string kGunFile = std::string(TREADBRAWL_SOUNDS_DIR) + "/guns/gun1.wav";

// Rough expected size once resampled to the device: resamplers may add or drop a few frames.
void ExpectConverted(const SdlSoundPlayer& player, double sourceFrames, double sourceRate) {
  double expected = sourceFrames * player.DeviceRate() / sourceRate * player.DeviceChannels() * 2;
  EXPECT_NEAR(static_cast<double>(player.CurrentSoundBytes()), expected, 0.02 * expected + 256);
}

// Plays one file and waits for the worker to have started it (or the alert).
void PlayAndWait(SdlSoundPlayer& player, const std::string& path) {
  player.PlaySoundFile(path);
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
}

// Interleaved 16-bit samples as little-endian bytes.
std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) PutLe(out, static_cast<uint16_t>(s), 2);
  return out;
}

// A sine of `seconds` on every one of `channels`, at `rate`.
std::vector<int16_t> Tone(double hz, double seconds, double amplitude, int rate, int channels = 1) {
  const auto frames = static_cast<size_t>(seconds * rate);
  std::vector<int16_t> out;
  out.reserve(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const auto v =
        static_cast<int16_t>(std::lround(amplitude * std::sin(6.283185307179586 * hz * i / rate)));
    out.insert(out.end(), static_cast<size_t>(channels), v);
  }
  return out;
}

// 30 s of 48 kHz stereo: reading and resampling it takes the worker many milliseconds.
std::vector<uint8_t> LongWav() {
  return Wav(1, 2, 48000, 16, Bytes(Tone(440.0, 30.0, 8000.0, 48000, 2)));
}

class SoundPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("treadbrawl_sound_" + std::to_string(getpid()) + "_" + info->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  fs::path dir_;
};

TEST_F(SoundPlayerTest, SynthesisedFilePlaysAsAFileInTheDeviceFormat) {
  SdlSoundPlayer player;
  ASSERT_TRUE(player.HasDevice());
  ASSERT_GT(player.DeviceRate(), 0);
  ASSERT_GT(player.DeviceChannels(), 0);
  const auto fileBytes = fs::file_size(kGunFile);
  PlayAndWait(player, kGunFile);
  EXPECT_EQ(player.FilesPlayed(), 1);
  EXPECT_EQ(player.AlertsPlayed(), 0);
  ExpectConverted(player, static_cast<double>(fileBytes - 44) / 2, 22050);
}

TEST_F(SoundPlayerTest, ConvertsOtherRatesAndLayouts) {
  // Unsigned 8-bit stereo at 11025 Hz: a rate, width and channel count the device never has.
  std::vector<uint8_t> data(2 * 11025 / 4);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(128 + 60 * std::sin(i * 0.2));
  SdlSoundPlayer player;
  PlayAndWait(player, Write("odd.wav", Wav(1, 2, 11025, 8, data)));
  EXPECT_EQ(player.FilesPlayed(), 1);
  EXPECT_EQ(player.AlertsPlayed(), 0);
  ExpectConverted(player, static_cast<double>(data.size()) / 2, 11025);
}

TEST_F(SoundPlayerTest, UnplayableFilesGiveTheAlert) {
  std::vector<uint8_t> valid;
  {
    std::ifstream in(kGunFile, std::ios::binary);
    valid.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(valid.size(), 44u);
  const std::vector<uint8_t> pcm(400, 0x10);
  const std::vector<std::string> bad = {
      (dir_ / "missing.wav").string(),
      Write("truncated.wav", std::vector<uint8_t>(valid.begin(), valid.begin() + 10)),
      dir_.string(),
      Write("mp3.wav", Wav(0x55, 1, 22050, 16, pcm)),
      Write("bogus.wav", Wav(0x7A7A, 1, 22050, 16, pcm)),
      Write("nobits.wav", Wav(1, 1, 22050, 0, pcm)),
      Write("nodata.wav", Wav(1, 1, 22050, 16, {})),
      Write("channels.wav", Wav(1, 200, 22050, 16, std::vector<uint8_t>(4000, 0x10))),
      Write("text.wav", std::vector<uint8_t>(300, 'x')),
  };
  SdlSoundPlayer player;
  ASSERT_TRUE(player.HasDevice());
  PlayAndWait(player, kGunFile);
  const size_t fileSize = player.CurrentSoundBytes();
  size_t alertSize = 0;
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(bad[i]);
    PlayAndWait(player, bad[i]);
    EXPECT_EQ(player.AlertsPlayed(), static_cast<int>(i + 1));
    EXPECT_EQ(player.FilesPlayed(), 1);
    if (i == 0) alertSize = player.CurrentSoundBytes();
    EXPECT_EQ(player.CurrentSoundBytes(), alertSize) << "the alert replaces what was playing";
  }
  // About a quarter of a second of the device's own format.
  ExpectConverted(player, 0.24 * player.DeviceRate(), player.DeviceRate());
  EXPECT_NE(alertSize, fileSize);
  // A good file after bad ones plays again, read afresh.
  PlayAndWait(player, kGunFile);
  EXPECT_EQ(player.FilesPlayed(), 2);
  EXPECT_EQ(player.CurrentSoundBytes(), fileSize);
}

// What the play costs the caller is measured by BM_PlayLongFile.
TEST_F(SoundPlayerTest, ALongFileIsReadAndConvertedWhole) {
  const std::string path = Write("long.wav", LongWav());
  SdlSoundPlayer player;
  ASSERT_TRUE(player.HasDevice());
  player.PlaySoundFile(path);
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.FilesPlayed(), 1);
  EXPECT_EQ(player.StreamsPlayed(), 0);
  ExpectConverted(player, 30.0 * 48000, 48000);
}

TEST_F(SoundPlayerTest, PlaysOfOneTickCutEachOtherAndOnlyTheLastIsRead) {
  const std::string longFile = Write("long.wav", LongWav());
  const std::string missing = (dir_ / "missing.wav").string();
  SdlSoundPlayer player;
  const int kPlays = 1000;
  for (int i = 0; i < kPlays; ++i) player.PlaySoundFile(i % 2 == 0 ? longFile : missing);
  player.PlaySoundFile(kGunFile);
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.FilesPlayed() + player.AlertsPlayed() + player.PlaysSuperseded(), kPlays + 1);
  // Each long file takes the worker milliseconds; the 1001 hand-overs take far less.
  EXPECT_LE(player.FilesPlayed() + player.AlertsPlayed(), kPlays / 10) << "superseded plays read";
  // The last play is the one heard.
  ExpectConverted(player, static_cast<double>(fs::file_size(kGunFile) - 44) / 2, 22050);
}

TEST_F(SoundPlayerTest, MixingKeepsUpToEightPlaysOfATick) {
  SoundOptions mixing;
  mixing.voices = 8;
  SdlSoundPlayer player(mixing);
  for (int i = 0; i < 8; ++i) player.PlaySoundFile(kGunFile);
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.FilesPlayed(), 8) << "every one is heard";
  EXPECT_EQ(player.PlaysSuperseded(), 0);
  // A ninth and tenth in one tick push out the oldest that have not started yet, if any.
  for (int i = 0; i < 10; ++i) player.PlaySoundFile(kGunFile);
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.FilesPlayed() + player.PlaysSuperseded(), 18);
  EXPECT_LE(player.PlaysSuperseded(), 2);
}

TEST_F(SoundPlayerTest, FilesBeyondTheConversionCapPlayStreamed) {
  // 70 MiB of 48 kHz stereo silence, sparse on disk: over the 64 MiB cap.
  const uint32_t dataBytes = 70u << 20;
  auto header = [&](uint16_t tag) {
    std::vector<uint8_t> bytes = Wav(tag, 2, 48000, 16, {});
    bytes.resize(40);
    PutLe(bytes, dataBytes, 4);
    const uint32_t riff = 36 + dataBytes;
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
    return bytes;
  };
  const std::string huge = Write("huge.wav", header(1));
  fs::resize_file(huge, 44 + uint64_t{dataBytes});
  // The same over the cap in a compressed encoding: SDL's loader would read it all.
  const std::string hugeMp3 = Write("huge_mp3.wav", header(0x55));
  fs::resize_file(hugeMp3, 44 + uint64_t{dataBytes});

  {
    SdlSoundPlayer player;
    PlayAndWait(player, huge);
    EXPECT_EQ(player.FilesPlayed(), 1);
    EXPECT_EQ(player.StreamsPlayed(), 1);
    EXPECT_EQ(player.AlertsPlayed(), 0);
    ExpectConverted(player, dataBytes / 4.0, 48000);
    PlayAndWait(player, hugeMp3);
    EXPECT_EQ(player.AlertsPlayed(), 1);
  }

  // With a small cap every plain PCM layout streams, converted like a whole file. (The dummy
  // driver opens one device at a time.)
  SoundOptions small;
  small.maxWholeBytes = 4096;
  SdlSoundPlayer streaming(small);
  std::vector<uint8_t> wide, floats;
  for (int16_t s : Tone(300.0, 0.5, 9000.0, 44100)) {
    PutLe(wide, static_cast<uint32_t>(s) << 8, 3);
    float f = s / 32768.0f;
    uint32_t bits = 0;
    std::memcpy(&bits, &f, 4);
    PutLe(floats, bits, 4);
  }
  const struct {
    std::string path;
    double frames, rate;
  } files[] = {
      {kGunFile, static_cast<double>(fs::file_size(kGunFile) - 44) / 2, 22050},
      {Write("wide.wav", Wav(1, 1, 44100, 24, wide)), 22050, 44100},
      {Write("float.wav", Wav(3, 1, 44100, 32, floats)), 22050, 44100},
      {Write("bytes.wav", Wav(1, 2, 11025, 8, std::vector<uint8_t>(11025, 128))), 5512, 11025},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.path);
    const int before = streaming.StreamsPlayed();
    PlayAndWait(streaming, f.path);
    EXPECT_EQ(streaming.StreamsPlayed(), before + 1);
    ExpectConverted(streaming, f.frames, f.rate);
  }
  EXPECT_EQ(streaming.AlertsPlayed(), 0);
}

TEST_F(SoundPlayerTest, AMissingSoundsFolderIsSaidOnceWithItsPath) {
  SoundOptions options;
  options.soundsFolder = (dir_ / "Sounds").string();
  ::testing::internal::CaptureStderr();
  {
    SdlSoundPlayer player(options);
    for (int n = 1; n <= 3; ++n)
      PlayAndWait(player, options.soundsFolder + "/bombs/bomb" + std::to_string(n) + ".wav");
    EXPECT_EQ(player.AlertsPlayed(), 3);
  }
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find(options.soundsFolder), std::string::npos) << said;
}

TEST_F(SoundPlayerTest, WithoutADriverPlaysNothingAndSaysSoOnce) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ::testing::internal::CaptureStderr();
  {
    SdlSoundPlayer player;
    EXPECT_FALSE(player.HasDevice());
    player.PlaySoundFile(kGunFile);
    player.PlaySoundFile((dir_ / "missing.wav").string());
    EXPECT_EQ(player.FilesPlayed(), 0);
    EXPECT_EQ(player.AlertsPlayed(), 0);
    EXPECT_EQ(player.CurrentSoundBytes(), 0u);
  }
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.rfind("treadbrawl: no audio device (", 0), 0u) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  // The next player, with a driver again, opens normally.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlSoundPlayer again;
  EXPECT_TRUE(again.HasDevice());
}

TEST_F(SoundPlayerTest, WithoutASoundCardOnlyTheGamesLineIsSaid) {
  std::ifstream cards("/proc/asound/cards");
  std::string line;
  while (std::getline(cards, line)) {
    const size_t at = line.find_first_not_of(' ');
    if (at != std::string::npos && std::isdigit(static_cast<unsigned char>(line[at])))
      GTEST_SKIP() << "this machine has a sound card";
  }
  unsetenv("SDL_AUDIODRIVER");
  ::testing::internal::CaptureStderr();
  bool opened = false;
  {
    SdlSoundPlayer player;
    opened = player.HasDevice();  // a sound server may still answer
  }
  const std::string said = ::testing::internal::GetCapturedStderr();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (opened) {
    EXPECT_EQ(said, "");
  } else {
    EXPECT_EQ(said.rfind("treadbrawl: no audio device (", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "no library lines:\n" << said;
  }
}

MixerSound Whole(std::vector<int16_t> samples) {
  auto shared = std::make_shared<const std::vector<int16_t>>(std::move(samples));
  return MixerSound{shared, nullptr, shared->size() * 2};
}

std::vector<int16_t> Mixed(SoundMixer& mixer, size_t frames) {
  std::vector<int16_t> out(frames, 0x5555);
  mixer.Mix(out.data(), frames);
  return out;
}

int LargestStep(const std::vector<int16_t>& s) {
  int step = 0;
  for (size_t i = 1; i < s.size(); ++i) step = std::max(step, std::abs(s[i] - s[i - 1]));
  return step;
}

// The samples of one of our own files: canonical 44-byte header, 22050 Hz mono.
std::vector<int16_t> Samples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> out;
  for (size_t i = 44; i + 1 < b.size(); i += 2)
    out.push_back(static_cast<int16_t>(b[i] | (b[i + 1] << 8)));
  return out;
}

TEST(SoundMixerTest, PlaysASoundThenSilence) {
  SoundMixer mixer(1, 44, 1);
  EXPECT_EQ(Mixed(mixer, 4), std::vector<int16_t>(4, 0)) << "nothing playing is silence";
  mixer.Start(Whole({1, 2, 3, 4, 5}));
  EXPECT_EQ(Mixed(mixer, 3), (std::vector<int16_t>{1, 2, 3}));
  EXPECT_EQ(mixer.Sounding(), 1u);
  EXPECT_EQ(Mixed(mixer, 4), (std::vector<int16_t>{4, 5, 0, 0}));
  EXPECT_EQ(mixer.Sounding(), 0u);
}

TEST(SoundMixerTest, ACutFadesOutUnderTheNewSoundWithoutAClick) {
  std::vector<std::vector<int16_t>> sounds;
  std::vector<int> steepest;
  for (const auto& entry : fs::recursive_directory_iterator(TREADBRAWL_SOUNDS_DIR)) {
    if (!entry.is_regular_file()) continue;
    sounds.push_back(Samples(entry.path().string()));
    ASSERT_GT(sounds.back().size(), 3000u) << entry.path();
    steepest.push_back(LargestStep(sounds.back()));
  }
  ASSERT_EQ(sounds.size(), 35u);
  const size_t kFade = 44;  // 2 ms at 22050 Hz
  int cuts = 0, hardClicks = 0;
  for (size_t a = 0; a < sounds.size(); ++a) {
    for (size_t b = 0; b < sounds.size(); ++b) {
      const int largest = std::max(steepest[a], steepest[b]);
      for (size_t at : {110u, 507u, 1323u, 2999u}) {
        SCOPED_TRACE("sound " + std::to_string(a) + " cut by " + std::to_string(b) + " at " +
                     std::to_string(at));
        SoundMixer mixer(1, kFade, 1);
        mixer.Start(Whole(sounds[a]));
        std::vector<int16_t> out = Mixed(mixer, at);
        mixer.Start(Whole(sounds[b]));
        const std::vector<int16_t> after = Mixed(mixer, 2 * kFade);
        out.insert(out.end(), after.begin(), after.end());
        ++cuts;
        EXPECT_LE(LargestStep(out), largest);
        // Once faded, only the new sound is heard, as it is.
        EXPECT_TRUE(std::equal(after.begin() + kFade, after.end(), sounds[b].begin() + kFade));
        hardClicks += std::abs(sounds[a][at - 1] - sounds[b][0]) > largest;
      }
    }
  }
  EXPECT_EQ(cuts, 35 * 35 * 4);
  EXPECT_GT(hardClicks, cuts / 20) << "cutting straight to the next sound would click";
}

TEST(SoundMixerTest, MixingLetsEightSoundsOverlapAndFadesOutTheOldest) {
  SoundMixer mixer(1, 44, 8);
  mixer.Start(Whole(std::vector<int16_t>(1000, 1000)));
  for (int i = 0; i < 7; ++i) mixer.Start(Whole(std::vector<int16_t>(1000, 100)));
  EXPECT_EQ(Mixed(mixer, 10), std::vector<int16_t>(10, 1700)) << "eight sounds at once";
  // The ninth fades in as the oldest fades out.
  mixer.Start(Whole(std::vector<int16_t>(1000, 3000)));
  const std::vector<int16_t> overlap = Mixed(mixer, 100);
  EXPECT_EQ(overlap.front(), 1700);
  EXPECT_EQ(overlap.back(), 3700);
  EXPECT_TRUE(std::is_sorted(overlap.begin(), overlap.end()));
  EXPECT_LE(LargestStep(overlap), 2000 * 3.1416 / (2 * 44) + 1);
  EXPECT_EQ(mixer.Sounding(), 8u);
  // Loud sounds together clip at full scale, never wrap round.
  SoundMixer loud(1, 44, 8);
  for (int i = 0; i < 8; ++i) loud.Start(Whole(std::vector<int16_t>(100, i % 2 ? 20000 : -3000)));
  EXPECT_EQ(Mixed(loud, 10), std::vector<int16_t>(10, 32767));
}

TEST(SoundMixerTest, AStreamedSoundPlaysWhatItsRingHoldsUntilItsEnd) {
  auto ring = std::make_shared<SoundRing>(8);
  const int16_t first[] = {1, 2, 3};
  EXPECT_EQ(ring->Write(first, 3), 3u);
  SoundMixer mixer(1, 44, 1);
  mixer.Start(MixerSound{nullptr, ring, 8});
  std::vector<int16_t> out(5);
  EXPECT_TRUE(mixer.Mix(out.data(), 5)) << "a dry ring asks for more";
  EXPECT_EQ(out, (std::vector<int16_t>{1, 2, 3, 0, 0})) << "a late feeder is silence, not the end";
  EXPECT_EQ(mixer.Sounding(), 1u);
  const int16_t last[] = {4};
  ring->Write(last, 1);
  ring->End();
  EXPECT_EQ(Mixed(mixer, 2), (std::vector<int16_t>{4, 0}));
  EXPECT_EQ(mixer.Sounding(), 0u);
  EXPECT_TRUE(ring->Abandoned());
}

}  // namespace
}  // namespace tb
