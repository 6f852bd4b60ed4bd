#pragma once
// A computer driver for one seat. It looks at the world read-only, once per tick, and
// answers which of its seat's keys it holds; the controls then treat those keys exactly as
// a player's. It draws from its own generator, never from the game's.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/Random.h"
#include "world/Thing.h"

namespace tb::bots {

// How well a driver plays.
enum class Level { Easy, Normal, Hard };
// "easy", "normal" or "hard"; false for anything else.
bool ParseLevel(const std::string& text, Level& level);
// The level's name, as ParseLevel takes it.
const char* LevelName(Level level);

// The steering key held on a tick: at most one, as the controls take at most one.
enum class Steer : uint8_t { None, Right, Left, Forward, Backward };

// A driver's answer for one tick.
struct Choice {
  Steer steer = Steer::None;
  bool fire = false;
};

// What a driver sees on one tick: the clock reading, the arena's size and every live thing.
struct View {
  float now = 0;
  float width = 582;
  float height = 555;
  std::vector<const Thing*> things;
};

// How a level plays: how late it notices things, how well it aims, how far ahead it looks.
struct Tuning {
  int reactionTicks;    // a new grenade is noticed this many ticks after it appears
  int spotTicks;        // a new power-up token likewise: the race for it is often decided here
  int replanTicks;      // goals are chosen afresh this often
  double aimNoise;      // radians of error in the heading it thinks it has
  double leadFactor;    // share of the flight time a moving rival is followed ahead
  double hitTolerance;  // how close to the rival a burst must land, as a share of its radius
  int foresight;        // others' grenades: 0 where they are, 1 straight on, 2 off walls and blocks
  int dangerHorizon;    // ticks before a burst that a grenade starts to count as a danger
  double dangerMargin;  // pixels kept clear beyond the blast
  double cruiseSpeed;   // top speed away from danger: bumps hurt by their speed
};
// The fixed tuning of each level.
const Tuning& TuningFor(Level level);

// A computer driver: one seat, one level, its own generator.
class Driver {
 public:
  // A driver for the seat named by its colour, drawing from a generator of `seed`.
  Driver(std::string seat, Level level, uint64_t seed);

  const std::string& Seat() const { return seat_; }  // the colour name
  Level GetLevel() const { return level_; }

  // This tick's keys for the vehicle `self`, which must be live in the view.
  Choice Think(const View& view, const Thing& self);
  // Forgets everything remembered about the last arena.
  void Reset();

  // Whether the driver is busy getting itself free after being stuck.
  bool Unsticking() const { return unstickTicks_ > 0; }

 private:
  struct Vec {
    double x = 0, y = 0;
  };
  struct Seen {
    std::string id;
    int64_t firstTick = 0;
    int64_t lastTick = 0;
    double activity = 0;  // for vehicles: how much of late it has been driving
    Vec last;
  };
  struct Threat {
    Vec at;
    double radius = 0;
  };
  // Something a grenade comes off: a box (blocks, vehicles) or a disc (balls).
  struct Obstacle {
    Vec at;
    double cos = 1, sin = 0;
    double halfLength = 0, halfWidth = 0;  // a box's; a disc has radius halfLength
    bool round = false;
    Vec velocity;
    bool near = false;  // within reach of the vehicle over the next few ticks
    const Thing* thing = nullptr;
  };
  // Where a flight ends, and what it came off on the way.
  struct Landing {
    Vec at;
    int bounces = 0;       // off anything
    int thingBounces = 0;  // off blocks, balls and vehicles
  };

  // The thing's memory, made on first sight; it is seen again on this tick.
  Seen& Remember(const Thing& t);
  // Whether the thing was first seen at least `after` ticks ago.
  bool Noticed(const Thing& t, int after);
  // Forgets all it has seen and planned.
  void Forget();
  // Where a grenade from `from` at `velocity` is after `ticks`, and what it came off: the
  // walls, and the obstacles where they stand now.
  Landing Flight(const Vec& from, const Vec& velocity, int ticks, double width,
                 double height) const;
  // Where a grenade will burst, as far ahead as the level looks (always for its own), and
  // in how many ticks.
  Vec BurstPoint(const Thing& grenade, const View& view, bool own, int& ticks) const;
  // Ticks until a fuse at `fuse` burns out, at least 1.
  int FuseTicks(int32_t fuse, float now) const;
  // Turns towards `heading` until within `tolerance`, then drives; backwards if allowed and
  // nearer.
  Choice SteerTo(double heading, bool mayReverse, double tolerance) const;
  // Steers towards the point by a clear heading; nothing once within 15 pixels.
  Choice DriveTo(const Vec& point, double tolerance) const;
  // How far a point is from the nearest block, ball or other vehicle's outline (negative
  // inside), and the way out from it.
  // With `ahead`, things that move are taken where they will be that many ticks later;
  // `hit` tells what is nearest (nullptr: a wall).
  double Clearance(const Vec& p, Vec* away, bool nearOnly = false, double ahead = 0,
                   const Obstacle** hit = nullptr) const;
  // A heading near `heading` whose first stretch is clear of obstacles.
  double ClearHeading(double heading) const;
  // Own motion as the game makes it: the tracks, the heading and the free part of the speed.
  struct Motion {
    double x = 0, y = 0, angle = 0, freeX = 0, freeY = 0, right = 0, left = 0;
  };
  // Holds `steer` for a tick and then lets go until the vehicle has all but stopped: how
  // hard its outline would first meet a wall, block or ball on the way (0: not at all), and
  // how much room it would have at the end.
  double Impact(Steer steer, double& roomAfter) const;
  // The wanted keys, or the nearest choice that does not bump into anything.
  Steer Guard(Steer wanted, double tolerated);
  // How far a launch along `heading` would burst from the nearest rival, less the tolerance
  // (lower is better); huge for a flight that bounces or a burst too near itself.
  double ShotQuality(double heading, const View& view, const Thing& self,
                     const std::vector<const Thing*>& rivals) const;

  std::string seat_;
  Level level_;
  const Tuning& tune_;
  Pcg32 random_;
  int64_t tick_ = 0;
  std::string selfId_;
  Vec me_;
  Vec velocity_;
  double width_ = 582, height_ = 555;
  double angle_ = 0;
  Motion motion_;
  int vetoes_ = 0;        // ticks in a row the guard has overruled the wanted keys
  bool outward_ = false;  // heading out into the open from near a wall
  double topSpeed_ = 8;
  std::string spareId_;  // a vehicle the guard lets it run into: the rival it rams
  double turn_ = 0;      // change of heading seen over the last tick
  bool haveLast_ = false;
  std::vector<Seen> seen_;
  std::vector<Obstacle> obstacles_;
  std::vector<Vec> trail_;     // recent positions, for noticing being stuck
  std::vector<Steer> drives_;  // recent steering, likewise
  int unstickTicks_ = 0;
  int32_t lastDamage_ = 0;
  std::vector<bool> scrapes_;  // recent ticks on which damage grew with no blast about
  double escapeHeading_ = 0;
  int escapeTicks_ = 0;
  bool unstickBackward_ = true;
  bool unstickRight_ = true;
  std::string goalId_;
  int64_t goalTick_ = -1000;
};

}  // namespace tb::bots
