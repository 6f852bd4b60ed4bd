#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WavFile.h"
#include "platform/SdlSound.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

const std::string kGunFile = std::string(TREADBRAWL_SOUNDS_DIR) + "/guns/gun1.wav";

// Rough expected size once resampled to the device: resamplers may add or drop a few frames.
void ExpectConverted(const SdlSoundPlayer& player, double sourceFrames, double sourceRate) {
  double expected = sourceFrames * player.DeviceRate() / sourceRate * player.DeviceChannels() * 2;
  EXPECT_NEAR(static_cast<double>(player.CurrentSoundBytes()), expected, 0.02 * expected + 256);
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
  player.PlaySoundFile(kGunFile);
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
  player.PlaySoundFile(Write("odd.wav", Wav(1, 2, 11025, 8, data)));
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
  player.PlaySoundFile(kGunFile);
  const size_t fileSize = player.CurrentSoundBytes();
  size_t alertSize = 0;
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(bad[i]);
    player.PlaySoundFile(bad[i]);
    EXPECT_EQ(player.AlertsPlayed(), static_cast<int>(i + 1));
    EXPECT_EQ(player.FilesPlayed(), 1);
    if (i == 0) alertSize = player.CurrentSoundBytes();
    EXPECT_EQ(player.CurrentSoundBytes(), alertSize) << "the alert replaces what was playing";
  }
  // About a quarter of a second of the device's own format.
  ExpectConverted(player, 0.24 * player.DeviceRate(), player.DeviceRate());
  EXPECT_NE(alertSize, fileSize);
  // A good file after bad ones plays again, read afresh.
  player.PlaySoundFile(kGunFile);
  EXPECT_EQ(player.FilesPlayed(), 2);
  EXPECT_EQ(player.CurrentSoundBytes(), fileSize);
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

TEST(SoundSlotTest, GivesTheSoundThenSilence) {
  SoundSlot slot;
  std::vector<uint8_t> out(6, 0xEE);
  slot.Fill(out.data(), out.size());
  EXPECT_EQ(out, std::vector<uint8_t>(6, 0)) << "an empty slot is silent";

  EXPECT_TRUE(slot.Start({1, 2, 3, 4, 5}).empty());
  slot.Fill(out.data(), 3);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(slot.Remaining(), 2u);
  std::fill(out.begin(), out.end(), 0xEE);
  slot.Fill(out.data(), out.size());
  EXPECT_EQ(out, (std::vector<uint8_t>{4, 5, 0, 0, 0, 0}));
  EXPECT_EQ(slot.Remaining(), 0u);
}

TEST(SoundSlotTest, StartingCutsTheSoundPlayingAndHandsItBack) {
  SoundSlot slot;
  slot.Start({1, 2, 3, 4});
  std::vector<uint8_t> out(2);
  slot.Fill(out.data(), out.size());
  EXPECT_EQ(slot.Start({9, 8, 7}), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(slot.Size(), 3u);
  EXPECT_EQ(slot.Remaining(), 3u) << "a new sound starts from its beginning";
  slot.Fill(out.data(), out.size());
  EXPECT_EQ(out, (std::vector<uint8_t>{9, 8}));
}

}  // namespace
}  // namespace tb
