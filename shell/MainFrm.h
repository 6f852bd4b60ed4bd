#pragma once
// The game window: owns the world, runs the frame tick, builds the arena and creates
// things at run time. It sees the outside world only through the injected interfaces.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "geometry/CollisionGrid.h"
#include "render/Surface.h"
#include "shell/Platform.h"
#include "shell/ThingCollection.h"
#include "state/Snapshot.h"
#include "world/Thing.h"

namespace tb {

// The game window and the world it owns.
class MainFrm {
 public:
  // A window on the injected services; the sound files lie under `exeFolder`.
  MainFrm(Surface& surface, KeyState& keys, SoundPlayer& sound, Clock& clock, RandomSource& random,
          std::string exeFolder);

  // Window load: seeds the random source from the clock; the world is built on the first tick.
  void Load();
  // One frame of Timer1.
  void Timer1Tick();
  // Escape (27) closes the window whatever the shift state; other keys are polled instead.
  void KeyDown(uint16_t keyCode, int shift);
  // Whether Escape has closed the window; it then ticks no more.
  bool Closed() const { return closed_; }
  // For hand-built worlds (simulator scenes, benchmarks): the first tick then builds no
  // arena and plays whatever things have been registered.
  void BeginWithoutArena() { GameStarted = true; }
  // Builds a fresh arena on the next tick, with the first tick's set-up; IDs go on counting.
  void StartNewArena() { GameStarted = false; }
  // Called on every tick just before the controls are polled, after any set-up: the place
  // where outside key sources (computer drivers) look at the world and choose their keys.
  void SetBeforeControls(std::function<void(const MainFrm&)> hook) {
    beforeControls_ = std::move(hook);
  }

  // Every live thing, keyed by ID, in the order they are moved and drawn.
  OrderedThings ThingCollection;
  // The broad phase of collision queries, derived from ThingCollection.
  CollisionGrid Grid{ThingCollection};

  // Registers a new grenade, a new explosion, or any new thing (giving it the next ID).
  void NewGrenade(int32_t X, int32_t Y, int32_t XSpeed, int32_t YSpeed, int32_t ExplosionSize,
                  const std::string& Launcher);
  void NewExplosion(int32_t X, int32_t Y, int32_t ExplosionSize);
  void RegisterThing(const std::shared_ptr<Thing>& thing);

  // Services the things use.
  Surface& DrawingSurface() { return surface_; }
  Clock& GameClock() { return clock_; }
  RandomSource& Random() { return random_; }
  SoundPlayer& Sound() { return sound_; }
  const std::string& ExeFolder() const { return exeFolder_; }

  // A player's vehicle by colour name, or null before set-up.
  Thing* Player(const std::string& colour) const;
  int32_t IssuedIDs() const { return IDCount; }  // the number in the latest ID
  bool Started() const { return GameStarted; }   // the arena has been built

  // The window title, kept here so that it belongs to the game's state.
  void SetCaption(const std::string& text);
  const std::string& Caption() const { return caption_; }

  // The whole game as a value, and back; only between ticks.
  Snapshot TakeSnapshot() const;
  void TakeSnapshot(Snapshot& into) const;  // reusing the snapshot's storage
  void RestoreSnapshot(const Snapshot& snapshot);

  // Free-place retries for all of set-up's blocks and balls together: far more than any
  // ordinary window needs, yet a window too small for the arena leaves the rest out, not hangs.
  static constexpr int64_t kSetUpPlacementTries = 1000000;
  // Free-place retries of a token dropped in play: a full arena spends them all, so they are
  // as many as keep that tick within its time budget.
  static constexpr int64_t kMaxPlacementTries = 2000;
  // How far a restore looks ahead among the present things for the snapshot's next one.
  static constexpr size_t kRestoreLookAhead = 64;

 private:
  void SetUpArena();
  void ReadControls();
  void RandomEvent();
  // A new, unregistered thing at (X, Y); every other field as a Thing starts.
  std::shared_ptr<Thing> NewThingAt(int32_t X, int32_t Y);
  // A new, unregistered vehicle, wall or block with its corners found.
  std::shared_ptr<Thing> NewRectangle(int32_t X, int32_t Y, int32_t Width, int32_t Length,
                                      float Heading, int32_t Colour, int32_t Type);
  void AddVehicle(int32_t X, int32_t Y, int32_t Colour, float Heading, const std::string& Name);
  void AddWall(int32_t X, int32_t Y, int32_t Width, int32_t Length, float Heading, int32_t Colour);
  void AddBlock(int32_t X, int32_t Y, int32_t Width, int32_t Length, float Heading, int32_t Colour);
  void AddBall(int32_t X, int32_t Y, int32_t Radius, int32_t Colour);
  void AddPowerUp(int32_t X, int32_t Y, int32_t Kind);
  // Moves a registered thing until it overlaps nothing, spending retries from triesLeft;
  // false if it was given up (and removed).
  template <class MoveFn>
  bool PlaceFreely(const std::shared_ptr<Thing>& thing, int64_t& triesLeft, MoveFn&& moveIt);

  Surface& surface_;
  KeyState& keys_;
  SoundPlayer& sound_;
  Clock& clock_;
  RandomSource& random_;
  std::string exeFolder_;
  bool closed_ = false;
  std::string caption_;
  std::function<void(const MainFrm&)> beforeControls_;

  std::map<std::string, std::shared_ptr<Thing>> PlayerCollection;
  int32_t IDCount = 0;
  int64_t setUpTriesLeft_ = 0;
  bool GameStarted = false;
};

}  // namespace tb
