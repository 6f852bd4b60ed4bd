#include "app/sim/Simulator.h"

#include <optional>
#include <ostream>

#include "app/sim/Scene.h"
#include "app/sim/Script.h"
#include "app/sim/SimPlatform.h"
#include "app/sim/StateDump.h"
#include "app/sim/Tournament.h"
#include "bots/Seats.h"
#include "files/Files.h"
#include "match/Rounds.h"
#include "pictures/Gif.h"
#include "pictures/Png.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Recording.h"
#include "state/Replay.h"
#include "state/ReplayPlayer.h"
#include "state/SnapshotFile.h"

#ifndef TREADBRAWL_VERSION
#define TREADBRAWL_VERSION "unknown"
#endif

namespace tb::sim {

namespace {

// Far more than hours of play; a larger file is not a replay of this game.
constexpr size_t kMaxReplayBytes = size_t{1} << 30;

void WriteLine(std::ostream& out, const std::string& line) {
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.put('\n');
}

void DumpState(std::ostream& out, const MainFrm& form, std::optional<int64_t> tick) {
  for (const Thing* t : form.ThingCollection.Items()) WriteLine(out, ThingJson(*t, tick));
}

// A replay already holds its rounds and its drivers' keys; false once the clash is told.
bool ReplayOptionsFit(const SimOptions& options, std::ostream& err) {
  if (options.checkpoints && options.replayPath.empty()) {
    err << "treadbrawl-sim: --checkpoints needs --replay\n";
    return false;
  }
  if (options.replayPath.empty()) return true;
  if (options.rounds > 0) {
    err << "treadbrawl-sim: a replay holds its rounds: drop --rounds\n";
    return false;
  }
  if (!options.botSeats.empty()) {
    err << "treadbrawl-sim: a replay holds its drivers' keys: drop --bots and --bot\n";
    return false;
  }
  return true;
}

// The key script of --script, if any; false once the problem is told.
bool LoadScript(const SimOptions& options, Script& script, std::ostream& err) {
  if (options.scriptPath.empty()) return true;
  std::string problem;
  std::string text;
  if (!ReadWholeFile(options.scriptPath, kMaxScriptBytes, text, problem)) {
    err << "treadbrawl-sim: --script: cannot read " << options.scriptPath << ": " << problem
        << '\n';
    return false;
  }
  if (!ParseScript(text, script, problem)) {
    err << problem << '\n';
    return false;
  }
  return true;
}

// Replays and snapshots are read the same way: bounded, parsed, any problem named with the file.
template <class Parse, class T>
bool LoadFile(const std::string& path, Parse parse, T& into, std::ostream& err) {
  std::string bytes;
  std::string error;
  if (ReadWholeFile(path, kMaxReplayBytes, bytes, error) && parse(bytes, into, error)) return true;
  err << "treadbrawl-sim: " << path << ": " << error << '\n';
  return false;
}

// The replay of --replay, if any, and the number of ticks to play; false once the problem
// is told.
bool LoadReplay(const SimOptions& options, std::optional<ReplayPlayer>& player, int64_t& ticks,
                std::ostream& err) {
  ticks = options.ticks;
  if (options.replayPath.empty()) return true;
  Replay replay;
  if (!LoadFile(options.replayPath, ParseReplay, replay, err)) return false;
  if (!replay.Complete)
    err << "treadbrawl-sim: " << options.replayPath << ": the recording stops short (the game"
        << " did not close cleanly); playing its " << replay.Ticks() << " ticks\n";
  ticks = options.ticksGiven ? std::min(ticks, replay.Ticks()) : replay.Ticks();
  player.emplace(std::move(replay));
  return true;
}

// One run: the world and everything it reads and writes, built in this order. With a replay
// its player feeds the keys, clock and random numbers.
class Run {
 public:
  Run(const SimOptions& options, ReplayPlayer* player, std::ostream& out, std::ostream& err)
      : options_(options),
        player_(player),
        out_(out),
        err_(err),
        raster_(player ? player->Data().Width : options.width,
                player ? player->Data().Height : options.height),
        clock_(options.clockStart),
        random_(options.seed, true),
        scored_(raster_),
        seats_(player ? player->Keys() : keys_, raster_, clock_),
        driven_(SeatDrivers()),
        roundCount_(player ? player->Data().Rounds : options.rounds),
        roundTicks_(player ? player->Data().RoundTicks : match::Rounds::kRoundTicks),
        recordedKeys_(KeySource()),
        recordedClock_(player ? player->GameClock() : static_cast<Clock&>(clock_)),
        recorder_(recordedKeys_, recordedClock_),
        form_(roundCount_ > 0 ? static_cast<Surface&>(scored_) : raster_, recordedKeys_, sounds_,
              recordedClock_, player ? player->Random() : static_cast<RandomSource&>(random_),
              options.exeFolder) {
    if (driven_) seats_.Attach(form_);
    if (roundCount_ > 0) rounds_.emplace(roundCount_, scored_, roundTicks_);
    if (player_ && rounds_) player_->SetRules(&*rounds_);
    form_.Grid.SetMode(options.broadPhase);
    for (const SimOptions::GifOption& gif : options.gifs)
      clips_.emplace_back(gif.from, gif.to, gif.path);
    clipFailed_.assign(clips_.size(), false);
  }

  // Tick 0: the arena (or the replay's start), a restored snapshot, the recording and the
  // contact scene. False with the exit status when the run cannot go on.
  bool Begin(int& status) {
    clock_.SetTick(0);
    sounds_.SetTick(0);
    if (player_) {
      player_->Start(form_);
    } else {
      form_.Load();
    }
    if (!options_.restorePath.empty()) {
      Snapshot saved;
      if (!LoadFile(options_.restorePath, ParseSnapshot, saved, err_)) {
        status = kExitBadInput;
        return false;
      }
      form_.RestoreSnapshot(saved);
    }
    std::string error;
    if (!options_.recordPath.empty() &&
        !recorder_.Start(options_.recordPath, form_, raster_.Width(), raster_.Height(),
                         TREADBRAWL_VERSION, error, roundCount_, rounds_ ? roundTicks_ : 0)) {
      err_ << "treadbrawl-sim: " << options_.recordPath << ": " << error << '\n';
      status = kExitFailed;
      return false;
    }
    if (options_.contactScene) {
      form_.BeginWithoutArena();
      BuildContactScene(form_);
    }
    FlushSounds();
    return true;
  }

  // Plays ticks 1 to `ticks`, or fewer when the game closes or its rounds are over. False
  // when a replay's game went another way than recorded.
  bool PlayTicks(const Script& script, int64_t ticks) {
    ScriptCursor cursor(script);
    KeySet held;
    std::string error;
    for (int64_t tick = 1; tick <= ticks; ++tick) {
      clock_.SetTick(tick);
      sounds_.SetTick(tick);
      if (player_) {
        if (!player_->Step(form_, error)) {
          err_ << "treadbrawl-sim: " << options_.replayPath << ": " << error << '\n';
          return false;
        }
      } else {
        bool escape = cursor.Advance(tick, held);
        keys_.Set(held);
        if (escape) {
          form_.KeyDown(27, 0);
          if (form_.Closed()) break;
        }
        PlayTick(form_, rounds_ ? &*rounds_ : nullptr);
      }
      if (!options_.recordPath.empty()) {
        recorder_.EndTick(form_);
      } else {
        // Nothing is written: what the decorators noted is dropped tick by tick.
        recordedKeys_.TakeHeld();
        recordedClock_.TakeReadings();
      }
      lastTick_ = tick;
      FlushSounds();
      WriteTickOutputs(tick);
      // A replay plays to its end, so that every recorded hash is checked.
      if (!player_ && rounds_ && rounds_->Over()) break;
    }
    return true;
  }

  // After the last tick: what could not be written, the clips, the replay and the world.
  // Returns the exit status.
  int Finish() {
    for (const auto& [pngTick, file] : options_.pngs) {
      if (pngTick > lastTick_) {
        err_ << "treadbrawl-sim: --png " << pngTick << ':' << file
             << " not written: the run ended after tick " << lastTick_ << '\n';
      }
    }
    std::string error;
    for (size_t i = 0; i < clips_.size(); ++i) {
      if (clipFailed_[i]) continue;
      if (clips_[i].To() > lastTick_)
        err_ << "treadbrawl-sim: --gif " << clips_[i].Path() << ": the run ended after tick "
             << lastTick_ << ", the clip holds " << clips_[i].Frames() << " frames\n";
      if (!clips_[i].Write(error)) {
        err_ << "treadbrawl-sim: " << error << '\n';
        status_ = kExitFailed;
      }
    }
    if (!options_.recordPath.empty() && !recorder_.Finish()) {
      err_ << "treadbrawl-sim: " << options_.recordPath
           << ": the replay could not be written whole\n";
      status_ = kExitFailed;
    }
    if (options_.checkpoints && player_) {
      // Every one up to the last tick played has been checked against the world on the way.
      for (const auto& [tick, hash] : player_->Data().Hashes)
        if (tick <= lastTick_) out_ << tick << ' ' << HashHex(hash) << '\n';
    }
    WriteFinalWorld();
    out_.flush();
    return status_;
  }

 private:
  // Seats the computer drivers asked for; true when there are any.
  bool SeatDrivers() {
    for (const std::string& seat : options_.botSeats)
      seats_.Add(seat, options_.botLevel, options_.seed);
    return !seats_.Empty();
  }

  // Whatever drives the game: the computer drivers, else the replay's or the script's keys.
  KeyState& KeySource() {
    if (driven_) return seats_;
    return player_ ? player_->Keys() : static_cast<KeyState&>(keys_);
  }

  bool Text() const { return !options_.hash; }

  void FlushSounds() {
    if (Text() && options_.sounds) {
      for (const SoundEvent& e : sounds_.Log()) {
        std::string line = "{\"tick\":" + std::to_string(e.tick) + ",\"sound\":";
        AppendJsonString(line, e.path);
        line += '}';
        WriteLine(out_, line);
      }
    }
    sounds_.Clear();
  }

  // The clips' frames, snapshots, pictures and dumps asked for at the end of this tick.
  void WriteTickOutputs(int64_t tick) {
    std::string error;
    for (size_t i = 0; i < clips_.size(); ++i) {
      if (clipFailed_[i] || tick < clips_[i].From() || tick > clips_[i].To()) continue;
      if (!clips_[i].AddFrame(raster_, error)) {
        err_ << "treadbrawl-sim: " << error << '\n';
        clipFailed_[i] = true;
        status_ = kExitFailed;
      }
    }
    for (const auto& [snapTick, file] : options_.snapshots) {
      if (snapTick == tick &&
          !WriteWholeFile(file, SerializeSnapshot(form_.TakeSnapshot()), error)) {
        err_ << "treadbrawl-sim: " << file << ": " << error << '\n';
        status_ = kExitFailed;
      }
    }
    for (const auto& [pngTick, file] : options_.pngs) {
      if (pngTick == tick && !WritePng(raster_, file, error)) {
        err_ << "treadbrawl-sim: " << error << '\n';
        status_ = kExitFailed;
      }
    }
    if (Text() && options_.dumpEvery > 0 && tick % options_.dumpEvery == 0) {
      DumpState(out_, form_, tick);
    }
  }

  // The hash of the world, or its dump (unless the last tick was dumped already) and caption.
  void WriteFinalWorld() {
    if (options_.hash) {
      WriteLine(out_, HashHex(WorldHash(form_, raster_.Caption())));
      return;
    }
    const bool dumpedLast =
        options_.dumpEvery > 0 && lastTick_ > 0 && lastTick_ % options_.dumpEvery == 0;
    if (!dumpedLast) {
      std::optional<int64_t> dumpTick;
      if (options_.dumpEvery > 0) dumpTick = lastTick_;
      DumpState(out_, form_, dumpTick);
    }
    if (options_.caption) {
      std::string line = "{\"caption\":";
      AppendJsonString(line, raster_.Caption());
      line += '}';
      WriteLine(out_, line);
    }
  }

  const SimOptions& options_;
  ReplayPlayer* player_;
  std::ostream& out_;
  std::ostream& err_;
  Raster raster_;
  ScriptedKeys keys_;
  RecordingSoundPlayer sounds_;
  SimClock clock_;
  Pcg32 random_;
  // Drivers and rounds only where asked for: otherwise the game sees the plain keys and raster.
  match::ScoredCaption scored_;
  bots::Seats seats_;
  const bool driven_;  // computer drivers take some seats
  int roundCount_;
  int64_t roundTicks_;
  // A recording notes what the game reads through these, whatever feeds them.
  RecordingKeys recordedKeys_;
  RecordingClock recordedClock_;
  Recorder recorder_;
  MainFrm form_;
  std::optional<match::Rounds> rounds_;
  std::vector<GifClip> clips_;
  std::vector<bool> clipFailed_;
  int64_t lastTick_ = 0;
  int status_ = kExitOk;
};

}  // namespace

int RunSimulator(const SimOptions& options, std::ostream& out, std::ostream& err) {
  if (options.help) {
    out << UsageText();
    return kExitOk;
  }
  if (!options.scenePath.empty()) {
    std::string error;
    if (!WriteScenePng(options.scenePath, error)) {
      err << "treadbrawl-sim: " << error << '\n';
      return kExitFailed;
    }
    return kExitOk;
  }
  if (options.tournament) return RunTournament(options, out);
  if (!ReplayOptionsFit(options, err)) return kExitBadInput;
  Script script;
  if (!LoadScript(options, script, err)) return kExitBadInput;
  std::optional<ReplayPlayer> player;
  int64_t ticks = 0;
  if (!LoadReplay(options, player, ticks, err)) return kExitBadInput;

  Run run(options, player ? &*player : nullptr, out, err);
  int status = kExitOk;
  if (!run.Begin(status)) return status;
  if (!run.PlayTicks(script, ticks)) return kExitDiverged;
  return run.Finish();
}

int SimMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SimOptions options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    err << "treadbrawl-sim: " << error << '\n';
    return kExitBadInput;
  }
  return RunSimulator(options, out, err);
}

}  // namespace tb::sim
