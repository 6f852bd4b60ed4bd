#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "WavBuilder.h"
#include "platform/WavFile.h"

namespace tb {
namespace {

std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body, uint32_t size) {
  std::vector<uint8_t> out(id, id + 4);
  PutLe(out, size, 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A fmt chunk's body of the given size, PCM fields first, then zeros; WAVE_FORMAT_EXTENSIBLE
// puts the real tag at byte 24.
std::vector<uint8_t> FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                size_t size, uint16_t subTag = 0) {
  std::vector<uint8_t> body;
  PutFormat(body, tag, channels, rate, bits);
  body.resize(size, 0);
  if (size >= 26) {
    body[24] = static_cast<uint8_t>(subTag);
    body[25] = static_cast<uint8_t>(subTag >> 8);
  }
  return body;
}

// RIFF/WAVE around the given chunks.
std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> inner = {'W', 'A', 'V', 'E'};
  for (const auto& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  PutLe(out, static_cast<uint32_t>(inner.size()), 4);
  out.insert(out.end(), inner.begin(), inner.end());
  return out;
}

bool Parse(const std::vector<uint8_t>& bytes, WavLayout& layout) {
  return ParseWavLayout(bytes.data(), bytes.size(), layout);
}

TEST(WavLayout, EveryPlainPcmFormatIsFoundWithItsSamples) {
  const struct {
    uint16_t tag, channels, bits;
    WavSamples samples;
  } cases[] = {
      {1, 1, 8, WavSamples::kU8},   {1, 2, 8, WavSamples::kU8},   {1, 1, 16, WavSamples::kS16},
      {1, 2, 16, WavSamples::kS16}, {1, 1, 24, WavSamples::kS24}, {1, 2, 24, WavSamples::kS24},
      {1, 2, 32, WavSamples::kS32}, {3, 1, 32, WavSamples::kF32}, {3, 8, 32, WavSamples::kF32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.tag) + "/" + std::to_string(c.channels) + "/" +
                 std::to_string(c.bits));
    const std::vector<uint8_t> data(static_cast<size_t>(c.channels * c.bits / 8) * 10, 0x11);
    WavLayout layout;
    ASSERT_TRUE(Parse(Wav(c.tag, c.channels, 44100, c.bits, data), layout));
    EXPECT_EQ(layout.samples, c.samples);
    EXPECT_EQ(layout.channels, c.channels);
    EXPECT_EQ(layout.rate, 44100);
    EXPECT_EQ(layout.bytesPerSample, c.bits / 8);
    EXPECT_EQ(layout.dataOffset, 44u);
    EXPECT_EQ(layout.dataBytes, data.size());
  }
}

TEST(WavLayout, OtherEncodingsAndInconsistentFormatsAreRefused) {
  const std::vector<uint8_t> data(400, 0);
  WavLayout layout;
  EXPECT_FALSE(Parse(Wav(0x55, 1, 22050, 16, data), layout));  // compressed
  EXPECT_FALSE(Parse(Wav(1, 1, 22050, 12, data), layout));     // bits that are no format
  EXPECT_FALSE(Parse(Wav(3, 1, 22050, 64, data), layout));     // double floats
  EXPECT_FALSE(Parse(Wav(3, 1, 22050, 16, data), layout));
  EXPECT_FALSE(Parse(Wav(1, 0, 22050, 16, data), layout));  // no channels
  EXPECT_FALSE(Parse(Wav(1, 9, 22050, 16, data), layout));  // more than 8
  EXPECT_FALSE(Parse(Wav(1, 1, 999, 16, data), layout));    // below 1000 frames a second
  EXPECT_TRUE(Parse(Wav(1, 1, 1000, 16, data), layout));
  std::vector<uint8_t> misaligned = Wav(1, 2, 22050, 16, data);
  misaligned[32] = 2;  // block align of a mono frame in a stereo file
  EXPECT_FALSE(Parse(misaligned, layout));
  std::vector<uint8_t> notWave = Wav(1, 1, 22050, 16, data);
  notWave[8] = 'A';
  EXPECT_FALSE(Parse(notWave, layout));
  std::vector<uint8_t> notRiff = Wav(1, 1, 22050, 16, data);
  notRiff[0] = 'X';
  EXPECT_FALSE(Parse(notRiff, layout));
}

TEST(WavLayout, ExtensibleFormatTakesItsSubFormatsTag) {
  const std::vector<uint8_t> samples(48, 0);
  WavLayout layout;
  ASSERT_TRUE(Parse(Riff({Chunk("fmt ", FormatBody(0xFFFE, 2, 48000, 24, 40, 1), 40),
                          Chunk("data", samples, 48)}),
                    layout));
  EXPECT_EQ(layout.samples, WavSamples::kS24);
  EXPECT_EQ(layout.dataOffset, 12u + 48u + 8u);
  ASSERT_TRUE(Parse(Riff({Chunk("fmt ", FormatBody(0xFFFE, 1, 48000, 32, 40, 3), 40),
                          Chunk("data", samples, 48)}),
                    layout));
  EXPECT_EQ(layout.samples, WavSamples::kF32);
  // A sub-format this player does not convert, and an extensible chunk too short to name one.
  EXPECT_FALSE(Parse(Riff({Chunk("fmt ", FormatBody(0xFFFE, 1, 48000, 16, 40, 0x55), 40),
                           Chunk("data", samples, 48)}),
                     layout));
  EXPECT_FALSE(Parse(Riff({Chunk("fmt ", FormatBody(0xFFFE, 1, 48000, 16, 24, 1), 24),
                           Chunk("data", samples, 48)}),
                     layout));
}

TEST(WavLayout, ChunksOfOddSizeArePaddedToEven) {
  const std::vector<uint8_t> samples(20, 0);
  // A three-byte chunk and its pad byte ahead of the format, a five-byte one after it.
  WavLayout layout;
  ASSERT_TRUE(Parse(
      Riff({Chunk("LIST", {1, 2, 3, 0}, 3), Chunk("fmt ", FormatBody(1, 1, 22050, 16, 16), 16),
            Chunk("junk", {1, 2, 3, 4, 5, 0}, 5), Chunk("data", samples, 20)}),
      layout));
  EXPECT_EQ(layout.dataOffset, 12u + 12u + 24u + 14u + 8u);
  EXPECT_EQ(layout.dataBytes, 20u);
  // An odd fmt chunk: its 17th byte is not read as a field, and the pad is stepped over.
  ASSERT_TRUE(
      Parse(Riff({Chunk("fmt ", FormatBody(1, 2, 22050, 8, 18), 17), Chunk("data", samples, 20)}),
            layout));
  EXPECT_EQ(layout.channels, 2);
  EXPECT_EQ(layout.dataOffset, 12u + 26u + 8u);
}

TEST(WavLayout, SamplesNeedAFormatAheadOfThem) {
  const std::vector<uint8_t> samples(20, 0);
  const auto format = Chunk("fmt ", FormatBody(1, 1, 22050, 16, 16), 16);
  WavLayout layout;
  EXPECT_FALSE(Parse(Riff({format}), layout));                              // no data chunk
  EXPECT_FALSE(Parse(Riff({Chunk("data", samples, 20), format}), layout));  // data first
  EXPECT_FALSE(
      Parse(Riff({Chunk("fmt ", FormatBody(1, 1, 22050, 16, 14), 14), Chunk("data", samples, 20)}),
            layout));  // a format too short to hold its fields
  // A later format chunk wins over an earlier one.
  ASSERT_TRUE(Parse(Riff({Chunk("fmt ", FormatBody(0x55, 1, 8000, 16, 16), 16), format,
                          Chunk("data", samples, 20)}),
                    layout));
  EXPECT_EQ(layout.rate, 22050);
}

TEST(WavLayout, TruncatedFilesAreRefusedOrReadToTheirEnd) {
  const std::vector<uint8_t> whole = Wav(1, 1, 22050, 16, std::vector<uint8_t>(100, 7));
  WavLayout layout;
  // Cut anywhere ahead of the data chunk's header: refused.
  for (size_t size = 0; size < 44; ++size)
    EXPECT_FALSE(ParseWavLayout(whole.data(), size, layout)) << size;
  // Cut inside the samples: what is there plays.
  ASSERT_TRUE(ParseWavLayout(whole.data(), 94, layout));
  EXPECT_EQ(layout.dataBytes, 50u);
  // A size left at 0 by a recorder that never finished means "to the end".
  std::vector<uint8_t> unfinished = whole;
  std::memset(&unfinished[40], 0, 4);
  ASSERT_TRUE(Parse(unfinished, layout));
  EXPECT_EQ(layout.dataBytes, 100u);
}

TEST(WavLayout, AbsurdSizesStayWithinTheFile) {
  WavLayout layout;
  // A data chunk claiming 4 GiB holds what the file holds.
  std::vector<uint8_t> huge = Wav(1, 2, 22050, 16, std::vector<uint8_t>(64, 0));
  std::memset(&huge[40], 0xFF, 4);
  ASSERT_TRUE(Parse(huge, layout));
  EXPECT_EQ(layout.dataBytes, 64u);
  // A chunk claiming 4 GiB ahead of the data leads past the end: no samples found.
  EXPECT_FALSE(Parse(Riff({Chunk("fmt ", FormatBody(1, 1, 22050, 16, 16), 16),
                           Chunk("junk", {}, 0xFFFFFFFFu), Chunk("data", {0, 0}, 2)}),
                     layout));
  // A format chunk claiming more than the file has cannot be read.
  EXPECT_FALSE(Parse(Riff({Chunk("fmt ", FormatBody(1, 1, 22050, 16, 16), 0xFFFFFFF0u)}), layout));
  // Rates beyond reason are capped, not wrapped negative.
  ASSERT_TRUE(Parse(Wav(1, 1, 0xFFFFFFFFu, 16, std::vector<uint8_t>(8, 0)), layout));
  EXPECT_EQ(layout.rate, 1 << 20);
}

TEST(WavLayout, TheWalkIsBoundedWhateverTheFileClaims) {
  // 62 empty chunks, then format and samples: the 64th chunk is the last one looked at.
  std::vector<std::vector<uint8_t>> chunks(62, Chunk("pad ", {}, 0));
  chunks.push_back(Chunk("fmt ", FormatBody(1, 1, 22050, 16, 16), 16));
  chunks.push_back(Chunk("data", {0, 0}, 2));
  WavLayout layout;
  EXPECT_TRUE(Parse(Riff(chunks), layout));
  chunks.insert(chunks.begin(), Chunk("pad ", {}, 0));
  EXPECT_FALSE(Parse(Riff(chunks), layout));

  // A reader on a "file" of a terabyte of empty chunks: a few dozen reads, then no.
  int reads = 0;
  const WavReader endless = [&reads](uint64_t offset, uint8_t* out, size_t size) {
    ++reads;
    static const char head[] = "RIFF\xff\xff\xff\xffWAVE";
    for (size_t i = 0; i < size; ++i)
      out[i] = offset + i < 12 ? static_cast<uint8_t>(head[offset + i]) : 0;
    return true;
  };
  EXPECT_FALSE(ReadWavLayout(endless, uint64_t{1} << 40, layout));
  EXPECT_EQ(reads, 1 + 64);
  // A reader that fails ends the walk at once.
  reads = 0;
  const WavReader failing = [&reads](uint64_t, uint8_t*, size_t) {
    ++reads;
    return false;
  };
  EXPECT_FALSE(ReadWavLayout(failing, 1000, layout));
  EXPECT_EQ(reads, 1);
}

}  // namespace
}  // namespace tb
