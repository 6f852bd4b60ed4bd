// Treadbrawl in a browser tab: the game wired to the page's canvas, keyboard, gamepads, Web
// Audio and clock. The page's query is the command line: ?bots=2&rounds=3 means
// --bots 2 --rounds 3. Beside the game's own options the page takes seed=N, clock-start=S,
// script=URL, ticks=N and fast, which fix the seed, clock and keys as the simulator does.
#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/sim/Script.h"
#include "bots/Seats.h"
#include "match/Rounds.h"
#include "match/Tick.h"
#include "match/TickClock.h"
#include "render/Raster.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/WorldHash.h"
#include "web/platform/WebClock.h"
#include "web/platform/WebGame.h"
#include "web/platform/WebKeys.h"
#include "web/platform/WebSound.h"

extern "C" {
// The text of the key script the page fetched for script=URL (null when none); owned by the
// caller, freed with free().
char* tb_web_script_text();
}

namespace {

constexpr int kImageWidth = 582;
constexpr int kImageHeight = 555;

// The options only the page has: a fixed world for tests and measurements.
struct PageOptions {
  std::optional<uint64_t> seed;  // fixed seed, and the game clock moves by ticks
  double clockStart = 36000.0;
  bool scripted = false;  // the keys come from the fetched script, not the keyboard
  long ticks = 0;         // stop after this many; 0: until Escape
  bool fast = false;      // play the ticks at once
};

// Takes the page's own options out of `args`, leaving the game's; false with a message.
bool TakePageOptions(std::vector<std::string>& args, PageOptions& page, std::string& error) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](uint64_t max, uint64_t& out) {
      if (i + 1 >= args.size() || !tb::sim::ParseWholeNumber(args[i + 1], max, out)) {
        error = a + ": give a whole number";
        return false;
      }
      ++i;
      return true;
    };
    uint64_t n = 0;
    if (a == "--seed") {
      if (!value(UINT64_MAX, n)) return false;
      page.seed = n;
    } else if (a == "--ticks") {
      if (!value(1000000000, n)) return false;
      page.ticks = static_cast<long>(n);
    } else if (a == "--clock-start") {
      char* end = nullptr;
      if (i + 1 < args.size()) page.clockStart = std::strtod(args[i + 1].c_str(), &end);
      if (i + 1 >= args.size() || end == args[i + 1].c_str() || *end != '\0' ||
          !std::isfinite(page.clockStart) || page.clockStart < 0) {
        error = "--clock-start: give the seconds since midnight";
        return false;
      }
      ++i;
    } else if (a == "--script") {
      page.scripted = true;
      if (i + 1 < args.size()) ++i;  // the page has fetched it already
    } else if (a == "--fast") {
      page.fast = true;
    } else {
      rest.push_back(a);
    }
  }
  if (page.fast && page.ticks <= 0) {
    error = "fast: give ticks=N too";
    return false;
  }
  args = rest;
  return true;
}

// The four players' keys, Green first, for the gamepads that play them.
tb::PadKeyTable PlayersPadKeys() {
  tb::PadKeyTable table{};
  for (size_t i = 0; i < table.size(); ++i) {
    const tb::PlayerKeys& p = tb::kPlayerKeys[i];
    table[i] = tb::PadKeys{p.Right, p.Left, p.Forward, p.Backward, p.Fire};
  }
  return table;
}

// The keys a script holds on the current tick.
class ScriptedKeys final : public tb::KeyState {
 public:
  void Set(const tb::sim::KeySet& held) { held_ = held; }
  bool IsKeyDown(uint8_t virtualKey) const override { return held_.test(virtualKey); }

 private:
  tb::sim::KeySet held_;
};

// Everything the page plays, alive as long as the page.
struct Page {
  Page(const tb::cli::GameArgs& args, const PageOptions& options, tb::sim::Script keyScript)
      : page(options),
        script(std::move(keyScript)),
        cursor(script),
        raster(kImageWidth, kImageHeight),
        keys(PlayersPadKeys()),
        sound(args.mixSounds),
        tickClock(options.clockStart),
        random(options.seed.value_or(0), options.seed.has_value()),
        scored(raster),
        seats(options.scripted ? static_cast<tb::KeyState&>(scripted)
                               : static_cast<tb::KeyState&>(keys),
              raster, GameClock()),
        form(args.rounds > 0 ? static_cast<tb::Surface&>(scored) : raster, KeySource(args), sound,
             GameClock(), random, "."),
        game(WindowOptions(args, options)) {}

  tb::Clock& GameClock() {
    return page.seed ? static_cast<tb::Clock&>(tickClock) : static_cast<tb::Clock&>(wallClock);
  }
  tb::KeyState& KeySource(const tb::cli::GameArgs& args) {
    if (!args.botSeats.empty()) return seats;
    return page.scripted ? static_cast<tb::KeyState&>(scripted) : static_cast<tb::KeyState&>(keys);
  }
  static tb::WebGameOptions WindowOptions(const tb::cli::GameArgs& args, const PageOptions& page) {
    tb::WebGameOptions o;
    o.scale = args.wholeScale ? tb::ScaleMode::kWhole : tb::ScaleMode::kFit;
    o.maxTicks = page.ticks;
    o.fast = page.fast;
    return o;
  }

  PageOptions page;
  tb::sim::Script script;
  tb::sim::ScriptCursor cursor;
  tb::Raster raster;
  tb::WebKeyState keys;
  ScriptedKeys scripted;
  tb::WebSoundPlayer sound;
  tb::WebClock wallClock;
  tb::TickClock tickClock;
  tb::Pcg32 random;
  tb::match::ScoredCaption scored;
  tb::bots::Seats seats;
  tb::MainFrm form;
  std::optional<tb::match::Rounds> rounds;
  tb::WebGame game;
  int64_t tick = 0;
  std::string hash;
};

Page* ThePage = nullptr;

// The raster as the page shows it.
class RasterPicture final : public tb::Picture {
 public:
  explicit RasterPicture(const tb::Raster& raster) : raster_(raster) {}
  const void* Pixels() const override { return raster_.Pixels(); }
  int Width() const override { return raster_.Width(); }
  int Height() const override { return raster_.Height(); }
  const std::string& Caption() const override { return raster_.Caption(); }

 private:
  const tb::Raster& raster_;
};

// One tick of the match, as the simulator plays it: the tick clock and the script's keys
// first, when the page has them.
class PageTarget final : public tb::TickTarget {
 public:
  explicit PageTarget(Page& page) : page_(page) {}
  void Tick() override {
    ++page_.tick;
    page_.tickClock.SetTick(page_.tick);
    if (page_.page.scripted) {
      tb::sim::KeySet held;
      const bool escape = page_.cursor.Advance(page_.tick, held);
      page_.scripted.Set(held);
      if (escape) {
        page_.form.KeyDown(tb::kEscapeKey, 0);
        if (page_.form.Closed()) return;
      }
    }
    tb::PlayTick(page_.form, page_.rounds ? &*page_.rounds : nullptr);
  }
  void KeyDown(uint16_t keyCode, int shift) override {
    // A script plays the keys alone; Escape still closes the game.
    if (!page_.page.scripted || keyCode == tb::kEscapeKey) page_.form.KeyDown(keyCode, shift);
  }
  bool Closed() const override { return page_.form.Closed(); }

 private:
  Page& page_;
};

}  // namespace

// What the page's tests and measurements read.
extern "C" {
// Ticks played so far.
EMSCRIPTEN_KEEPALIVE long tb_page_ticks() { return ThePage ? ThePage->game.TicksRun() : 0; }
// Whether the loop has ended (Escape, or ticks=N reached).
EMSCRIPTEN_KEEPALIVE int tb_page_stopped() { return ThePage && ThePage->game.Stopped() ? 1 : 0; }
// Milliseconds spent in the game's ticks so far.
EMSCRIPTEN_KEEPALIVE double tb_page_tick_ms() {
  return ThePage ? ThePage->game.TickMilliseconds() : 0;
}
// The world hash, as the simulator's --hash prints it.
EMSCRIPTEN_KEEPALIVE const char* tb_page_hash() {
  if (!ThePage) return "";
  ThePage->hash = tb::HashHex(tb::WorldHash(ThePage->form, ThePage->raster.Caption()));
  return ThePage->hash.c_str();
}
// A coordinate of a live thing by ID (axis 0 for X, 1 for Y); NaN when there is none.
EMSCRIPTEN_KEEPALIVE double tb_page_thing(const char* id, int axis) {
  if (!ThePage || id == nullptr) return NAN;
  const tb::Thing* thing = ThePage->form.ThingCollection.Find(id);
  if (thing == nullptr) return NAN;
  return axis == 0 ? thing->X : thing->Y;
}
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  PageOptions page;
  tb::cli::GameArgs gameArgs;
  std::string error;
  if (!TakePageOptions(args, page, error) || !tb::cli::Parse(args, gameArgs, error)) {
    std::cerr << "treadbrawl: " << error << std::endl;
    return tb::cli::kExitUsage;
  }
  if (gameArgs.host || !gameArgs.join.empty() || !gameArgs.recordPath.empty() ||
      !gameArgs.replayPath.empty()) {
    std::cerr << "treadbrawl: online play, recording and replays are for the desktop game"
              << std::endl;
    return tb::cli::kExitUsage;
  }
  if (gameArgs.help) {
    std::cout << tb::cli::HelpText();
    return tb::cli::kExitOk;
  }
  tb::sim::Script script;
  if (page.scripted) {
    char* text = tb_web_script_text();
    const std::string scriptText = text != nullptr ? text : "";
    std::free(text);
    if (text == nullptr || !tb::sim::ParseScript(scriptText, script, error)) {
      std::cerr << "treadbrawl: script: " << (text == nullptr ? "could not be fetched" : error)
                << std::endl;
      return tb::cli::kExitUsage;
    }
  }
  ThePage = new Page(gameArgs, page, std::move(script));  // lives as long as the page
  Page& p = *ThePage;
  p.tickClock.SetTick(0);
  p.form.Load();
  tb::bots::Level level = tb::bots::Level::Normal;
  tb::bots::ParseLevel(gameArgs.botLevel, level);
  for (const std::string& seat : gameArgs.botSeats) p.seats.Add(seat, level, p.random.SeedValue());
  if (!p.seats.Empty()) p.seats.Attach(p.form);
  if (gameArgs.rounds > 0) p.rounds.emplace(gameArgs.rounds, p.scored);
  static PageTarget target(p);
  static RasterPicture picture(p.raster);
  p.game.Run(target, picture, &p.keys);
  return tb::cli::kExitOk;
}
