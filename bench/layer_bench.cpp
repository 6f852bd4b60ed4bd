// What the on-screen layer adds to presenting a frame, at 1x and in full screen at 1080p:
// the picture uploaded and scaled as the window does it, with and without the layer's text
// (a match of rounds with drivers, and the keys in full screen). Both on SDL's software
// renderer, the one virtual displays use. Run: build/rel/bin/treadbrawl-layer-bench
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <iostream>
#include <vector>

#include "app/ScreenText.h"
#include "platform/ScreenLayer.h"
#include "platform/SdlGame.h"

namespace {

constexpr int kW = 582, kH = 555;

void Present(benchmark::State& state) {
  const int outW = static_cast<int>(state.range(0)), outH = static_cast<int>(state.range(1));
  const bool withLayer = state.range(2) != 0;
  SDL_Surface* output = SDL_CreateRGBSurfaceWithFormat(0, outW, outH, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(output);
  SDL_Texture* picture =
      SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kW, kH);
  std::vector<uint32_t> pixels(kW * kH);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i * 2654435761u) & 0x00FFFFFF;
  const tb::ImagePlacement p = tb::PlaceImage(outW, outH, kW, kH, tb::ScaleMode::kFit);
  const SDL_Rect target{p.x, p.y, p.width, p.height};
  tb::ScreenLayer layer;
  if (withLayer && !layer.LoadFont(tb::kLayerFont, std::cerr)) {
    state.SkipWithError("no font");
    return;
  }
  tb::LayerContent& c = layer.Content();
  c.status = {{"Round 2 of 3"}, {"Green  1"}, {"Red  0"},           {"Blue  0"},
              {"Yellow  1"},    {""},         {"Computer drivers"}, {"Yellow: normal"}};
  c.help = tb::screen::HelpLines(0x07);
  layer.Notify("Blue left the match");
  for (auto _ : state) {
    SDL_UpdateTexture(picture, nullptr, pixels.data(), kW * 4);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, picture, nullptr, &target);
    if (withLayer) layer.Draw(renderer, outW, outH, target, true);
    SDL_RenderPresent(renderer);
    benchmark::DoNotOptimize(output->pixels);
  }
  SDL_DestroyTexture(picture);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(output);
}
BENCHMARK(Present)
    ->ArgNames({"w", "h", "layer"})
    ->Args({kW, kH, 0})
    ->Args({kW, kH, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
