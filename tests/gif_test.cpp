// Clips: every frame of the GIF, put together as a viewer does, is exactly the game's picture.
#include "pictures/Gif.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace {

using Picture = std::vector<uint32_t>;

// Decodes the clip and composes each frame over the ones before.
std::vector<Picture> Decode(const std::string& path, int& width, int& height,
                            std::vector<int>& delays) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  std::vector<Picture> out;
  if (gif == nullptr || DGifSlurp(gif) != GIF_OK) return out;
  width = gif->SWidth;
  height = gif->SHeight;
  Picture canvas(static_cast<size_t>(width) * height, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock gcb;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    delays.push_back(gcb.DelayTime);
    const ColorMapObject* map =
        image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        int p = image.RasterBits[y * d.Width + x];
        if (p == gcb.TransparentColor) continue;
        const GifColorType& c = map->Colors[p];
        canvas[static_cast<size_t>(d.Top + y) * width + d.Left + x] =
            c.Red | c.Green << 8 | c.Blue << 16;
      }
    }
    out.push_back(canvas);
  }
  DGifCloseFile(gif, &error);
  return out;
}

Picture Copy(const tb::Raster& r) {
  Picture p(r.Pixels(), r.Pixels() + static_cast<size_t>(r.Width()) * r.Height());
  for (uint32_t& v : p) v &= 0xFFFFFF;
  return p;
}

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "treadbrawl_" + std::to_string(getpid()) + "_" + name;
}

TEST(GifClip, EveryFrameIsThePictureOfItsTick) {
  tb::Raster raster(300, 240);
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock(36000);
  tb::Pcg32 random(4, true);
  tb::MainFrm form(raster, keys, sound, clock, random, ".");
  form.Load();
  tb::sim::RandomPlayers players(2);
  const std::string path = TempPath("clip.gif");
  tb::sim::GifClip clip(20, 140, path);
  std::vector<Picture> expected;
  std::string problem;
  for (int64_t t = 1; t <= 140; ++t) {
    clock.SetTick(t);
    players.Press(t, keys);
    form.Timer1Tick();
    // More colours over the clip than a palette holds: later frames bring their own.
    for (int k = 0; k < 3; ++k)
      raster.PlotPoint(static_cast<float>(10 * k + 5), 230,
                       static_cast<int32_t>(0x10101 * k + t * 3));
    if (t >= 20) {
      ASSERT_TRUE(clip.AddFrame(raster, problem)) << problem;
      expected.push_back(Copy(raster));
    }
  }
  ASSERT_TRUE(clip.Write(problem)) << problem;
  int width = 0, height = 0;
  std::vector<int> delays;
  std::vector<Picture> frames = Decode(path, width, height, delays);
  std::remove(path.c_str());
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 240);
  ASSERT_EQ(frames.size(), expected.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(delays[i], 2);
    ASSERT_TRUE(frames[i] == expected[i]) << "frame " << i;
  }
}

TEST(GifClip, AnUnwritableFileIsAProblemNotACrash) {
  tb::Raster raster(10, 10);
  tb::sim::GifClip clip(1, 1, "/no/such/folder/clip.gif");
  std::string problem;
  EXPECT_FALSE(clip.Write(problem));
  EXPECT_NE(problem.find("no frames"), std::string::npos);
  ASSERT_TRUE(clip.AddFrame(raster, problem));
  EXPECT_FALSE(clip.Write(problem));
  EXPECT_EQ(problem, "/no/such/folder/clip.gif: cannot be written");
}

}  // namespace
