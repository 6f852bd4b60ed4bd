#include "bots/Driver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "geometry/Numeric.h"

namespace tb::bots {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSecondsPerTick = 0.02;
constexpr double kGrenadeRadius = 15;
constexpr double kVehicleReach = 40;  // centre to the far corner of a vehicle, near enough
constexpr double kNoShot = 1e9;
constexpr size_t kTrail = 40;

double Wrap(double a) {
  a = std::fmod(a, 2 * kPi);
  if (a > kPi) a -= 2 * kPi;
  if (a <= -kPi) a += 2 * kPi;
  return a;
}

double Distance(double ax, double ay, double bx, double by) { return std::hypot(ax - bx, ay - by); }

// Levels: a slow, short-sighted rookie; a fair player; a sharp one.
const Tuning kTunings[3] = {
    {40, 300, 40, 0.55, 0.0, 0.5, 0, 40, 0, 9},
    {20, 80, 12, 0.25, 0.2, 0.75, 1, 75, 20, 6.5},
    {2, 2, 5, 0.0, 0.5, 0.7, 2, 90, 20, 5},
};

}  // namespace

bool ParseLevel(const std::string& text, Level& level) {
  if (text == "easy") {
    level = Level::Easy;
  } else if (text == "normal") {
    level = Level::Normal;
  } else if (text == "hard") {
    level = Level::Hard;
  } else {
    return false;
  }
  return true;
}

const char* LevelName(Level level) {
  switch (level) {
    case Level::Easy:
      return "easy";
    case Level::Hard:
      return "hard";
    default:
      return "normal";
  }
}

const Tuning& TuningFor(Level level) { return kTunings[static_cast<int>(level)]; }

Driver::Driver(std::string seat, Level level, uint64_t seed)
    : seat_(std::move(seat)), level_(level), tune_(TuningFor(level)), random_(seed, true) {}

void Driver::Reset() {
  Forget();
  selfId_.clear();
}

void Driver::Forget() {
  seen_.clear();
  trail_.clear();
  drives_.clear();
  haveLast_ = false;
  unstickTicks_ = 0;
  vetoes_ = 0;
  escapeTicks_ = 0;
  scrapes_.clear();
  lastDamage_ = 0;
  goalId_.clear();
  goalTick_ = -1000;
  outward_ = false;
}

Driver::Seen& Driver::Remember(const Thing& t) {
  for (Seen& s : seen_) {
    if (s.id == t.ID) {
      s.lastTick = tick_;
      return s;
    }
  }
  seen_.push_back({t.ID, tick_, tick_, 0, {t.X, t.Y}});
  return seen_.back();
}

bool Driver::Noticed(const Thing& t, int after) { return tick_ - Remember(t).firstTick >= after; }

int Driver::FuseTicks(int32_t fuse, float now) const {
  // The fuse burns out on the first tick whose clock passes it.
  double left = (static_cast<double>(fuse) - static_cast<double>(now)) / kSecondsPerTick;
  return std::max(1, static_cast<int>(std::floor(left)) + 1);
}

Driver::Landing Driver::Flight(const Vec& from, const Vec& velocity, int ticks, double width,
                               double height) const {
  // A grenade slides with little friction and comes off walls, blocks, balls and vehicles
  // slower, mirrored about the surface it meets. Things are taken where they stand now.
  Landing landing;
  Vec p = from;
  Vec v = velocity;
  const double lo = kGrenadeRadius;
  const double hiX = width - kGrenadeRadius;
  const double hiY = height - kGrenadeRadius;
  // The surface takes the whole speed as its push: the grenade leaves mirrored with 0.6 of it.
  auto reflect = [&v](double nx, double ny) {
    double vn = v.x * nx + v.y * ny;
    if (vn >= 0) return;
    v.x = 0.6 * (v.x - 2 * vn * nx);
    v.y = 0.6 * (v.y - 2 * vn * ny);
  };
  for (int i = 0; i < ticks; ++i) {
    v.x *= 0.999;
    v.y *= 0.999;
    p.x += v.x;
    p.y += v.y;
    // Off a wall: mirrored back inside, along x and then along y.
    auto wall = [&](double& at, double low, double high, double nx, double ny) {
      double edge = at < low ? low : at > high ? high : at;
      if (edge == at) return;
      at = 2 * edge - at;
      double sign = edge == low ? 1 : -1;
      reflect(sign * nx, sign * ny);
      ++landing.bounces;
    };
    wall(p.x, lo, hiX, 1, 0);
    wall(p.y, lo, hiY, 0, 1);
    for (const Obstacle& o : obstacles_) {
      double dx = p.x - o.at.x, dy = p.y - o.at.y;
      double reach = o.halfLength + kGrenadeRadius;
      if (std::fabs(dx) > reach + o.halfWidth || std::fabs(dy) > reach + o.halfWidth) continue;
      double nx = 0, ny = 0, gap = 0;
      if (o.round) {
        double d = std::hypot(dx, dy);
        if (d >= reach || d == 0) continue;
        nx = dx / d;
        ny = dy / d;
        gap = reach - d;
      } else {
        // Into the box's own frame, to the nearest point of its outline.
        double u = dx * o.cos + dy * o.sin, w = -dx * o.sin + dy * o.cos;
        double cu = std::clamp(u, -o.halfLength, o.halfLength);
        double cw = std::clamp(w, -o.halfWidth, o.halfWidth);
        double du = u - cu, dw = w - cw;
        double d = std::hypot(du, dw);
        if (d >= kGrenadeRadius || d == 0) continue;
        nx = (du * o.cos - dw * o.sin) / d;
        ny = (du * o.sin + dw * o.cos) / d;
        gap = kGrenadeRadius - d;
      }
      p.x += nx * gap;
      p.y += ny * gap;
      reflect(nx, ny);
      ++landing.bounces;
      ++landing.thingBounces;
    }
  }
  landing.at = p;
  return landing;
}

Driver::Vec Driver::BurstPoint(const Thing& grenade, const View& view, bool own, int& ticks) const {
  ticks = FuseTicks(grenade.Fuse(), view.now);
  Vec at{grenade.X, grenade.Y};
  Vec v{grenade.XSpeed, grenade.YSpeed};
  // Its own grenades every driver follows closely; the others' as well as its level lets it.
  if (own) return Flight(at, v, ticks, view.width, view.height).at;
  if (tune_.foresight == 0) return at;  // where it is, not where it goes
  if (tune_.foresight == 1) {
    at.x = std::clamp(at.x + v.x * ticks, 0.0, static_cast<double>(view.width));
    at.y = std::clamp(at.y + v.y * ticks, 0.0, static_cast<double>(view.height));
    return at;
  }
  return Flight(at, v, ticks, view.width, view.height).at;
}

Choice Driver::SteerTo(double heading, bool mayReverse, double tolerance) const {
  // The tracks keep turning a while after the keys are let go: aim with that in mind.
  double settled = angle_ + 5.0 * turn_;
  double forward = Wrap(heading - settled);
  Choice c;
  if (mayReverse) {
    double backward = Wrap(heading + kPi - settled);
    if (std::fabs(backward) + 0.3 < std::fabs(forward)) {
      if (std::fabs(backward) > tolerance) {
        c.steer = backward > 0 ? Steer::Right : Steer::Left;
      } else {
        c.steer = Steer::Backward;
      }
      return c;
    }
  }
  if (std::fabs(forward) > tolerance) {
    c.steer = forward > 0 ? Steer::Right : Steer::Left;
  } else {
    c.steer = Steer::Forward;
  }
  return c;
}

double Driver::Clearance(const Vec& p, Vec* away, bool nearOnly, double ahead,
                         const Obstacle** hit) const {
  if (hit != nullptr) *hit = nullptr;
  // The walls first: the arena's edges.
  double best = std::numeric_limits<double>::infinity();
  const double edges[4][3] = {
      {p.x, 1, 0}, {width_ - p.x, -1, 0}, {p.y, 0, 1}, {height_ - p.y, 0, -1}};
  for (const auto& e : edges) {
    if (e[0] < best) {
      best = e[0];
      if (away != nullptr) *away = {e[1], e[2]};
    }
  }
  for (const Obstacle& o : obstacles_) {
    if (nearOnly && (!o.near || o.thing->ID == spareId_)) continue;
    double dx = p.x - o.at.x - o.velocity.x * ahead, dy = p.y - o.at.y - o.velocity.y * ahead;
    double d = 0, nx = 0, ny = 0;
    if (o.round) {
      double c = std::hypot(dx, dy);
      d = c - o.halfLength;
      if (c > 0) {
        nx = dx / c;
        ny = dy / c;
      }
    } else {
      double u = dx * o.cos + dy * o.sin, w = -dx * o.sin + dy * o.cos;
      double du = u - std::clamp(u, -o.halfLength, o.halfLength);
      double dw = w - std::clamp(w, -o.halfWidth, o.halfWidth);
      d = std::hypot(du, dw);
      if (d == 0) {
        // Inside: out through the nearer side.
        double eu = o.halfLength - std::fabs(u), ew = o.halfWidth - std::fabs(w);
        d = -std::min(eu, ew);
        du = eu < ew ? (u < 0 ? -1 : 1) : 0;
        dw = eu < ew ? 0 : (w < 0 ? -1 : 1);
      }
      double n = std::hypot(du, dw);
      if (n > 0) {
        nx = (du * o.cos - dw * o.sin) / n;
        ny = (du * o.sin + dw * o.cos) / n;
      }
    }
    if (d < best) {
      best = d;
      if (away != nullptr) *away = {nx, ny};
      if (hit != nullptr) *hit = &o;
    }
  }
  return best;
}

double Driver::Impact(Steer steer, double& roomAfter) const {
  // The outline is a square of 60 with the tracks: its corners and the middles of its sides.
  static const double kPoints[8][2] = {{30, 30}, {30, -30}, {-30, 30}, {-30, -30},
                                       {30, 0},  {-30, 0},  {0, 30},   {0, -30}};
  constexpr int kHorizon = 16;
  Motion m = motion_;
  roomAfter = std::numeric_limits<double>::infinity();
  auto clamp = [this](double v) { return std::clamp(v, -topSpeed_, topSpeed_); };
  double total = 0;
  for (int i = 0; i < kHorizon; ++i) {
    if (i == 0 && steer != Steer::None) {
      double dr = steer == Steer::Left || steer == Steer::Forward ? 0.7 : -0.7;
      double dl = steer == Steer::Right || steer == Steer::Forward ? 0.7 : -0.7;
      m.right = clamp(1.1 * clamp(m.right + dr));
      m.left = clamp(1.1 * clamp(m.left + dl));
    }
    double drive = (m.left + m.right) / 2;
    double turn = (m.left - m.right) / 60;
    m.angle += turn;
    m.freeX *= 0.9;
    m.freeY *= 0.9;
    double c = std::cos(m.angle), s = std::sin(m.angle);
    double vx = m.freeX + drive * c, vy = m.freeY + drive * s;
    m.x += vx;
    m.y += vy;
    m.right *= 0.9;
    m.left *= 0.9;
    bool last = i == kHorizon - 1;
    double worst = 0;
    for (const auto& k : kPoints) {
      double ox = k[0] * c - k[1] * s, oy = k[0] * s + k[1] * c;
      Vec away{0, 0};
      const Obstacle* hit = nullptr;
      double room =
          Clearance({m.x + ox, m.y + oy}, &away, true, tune_.foresight > 0 ? i + 1 : 0, &hit);
      if (room < 0) {
        // The speed of the point against what it meets, turning included, is what the bump
        // costs; a wall takes none of it, anything else half.
        double px = vx - turn * oy, py = vy + turn * ox;
        if (hit != nullptr) {
          px -= hit->velocity.x;
          py -= hit->velocity.y;
        }
        if (px * away.x + py * away.y < 0)
          worst = std::max(worst, std::hypot(px, py) * (hit != nullptr ? 0.5 : 1.0));
      }
      if (last) roomAfter = std::min(roomAfter, room);
    }
    // Each tick in touch costs again: grinding along adds up.
    if (worst > 0) {
      total += worst;
      // The bump stops the vehicle where it stands.
      m.freeX = m.freeY = 0;
      m.right = m.left = 0;
    }
  }
  return total;
}

Steer Driver::Guard(Steer wanted, double tolerated) {
  // Held back for long, a light bump is better than never getting anywhere.
  if (vetoes_ >= 10) tolerated = std::max(tolerated, 3.0);
  double room = 0;
  if (Impact(wanted, room) <= tolerated) {
    vetoes_ = 0;
    return wanted;
  }
  ++vetoes_;
  // Rather wait than shuttle back and forth: let go, unless even that runs into something.
  if (Impact(Steer::None, room) <= tolerated) return Steer::None;
  Steer best = Steer::None;
  double bestImpact = std::numeric_limits<double>::infinity();
  for (Steer s : {Steer::None, Steer::Forward, Steer::Backward}) {
    double impact = Impact(s, room);
    if (impact < bestImpact) {
      bestImpact = impact;
      best = s;
    }
  }
  return best;
}

double Driver::ClearHeading(double heading) const {
  constexpr double kBody = 45;  // half the diagonal of the vehicle's outline, and a little
  for (int k = 0; k <= 8; ++k) {
    double h = heading + (k % 2 == 1 ? 1 : -1) * ((k + 1) / 2) * 0.35;
    bool clear = true;
    for (double step = 25; step <= 75 && clear; step += 25) {
      Vec p{me_.x + step * std::cos(h), me_.y + step * std::sin(h)};
      clear = Clearance(p, nullptr) > kBody;
    }
    if (clear) return h;
  }
  return heading;
}

Choice Driver::DriveTo(const Vec& point, double tolerance) const {
  if (Distance(point.x, point.y, me_.x, me_.y) < 15) return {};
  return SteerTo(ClearHeading(std::atan2(point.y - me_.y, point.x - me_.x)), false, tolerance);
}

double Driver::ShotQuality(double heading, const View& view, const Thing& self,
                           const std::vector<const Thing*>& rivals) const {
  // The launch as the game makes it: from the rounded centre, 10 along the heading plus
  // the vehicle's own speed, rounded.
  Vec from{std::nearbyint(self.X), std::nearbyint(self.Y)};
  Vec v{std::nearbyint(10.0 * std::cos(heading) + self.XSpeed),
        std::nearbyint(10.0 * std::sin(heading) + self.YSpeed)};
  int ticks = FuseTicks(RoundToInt(static_cast<double>(view.now) + 2.0), view.now);
  double blast = self.ExplosionSize;
  Landing end = Flight(from, v, ticks, view.width, view.height);
  // Off a block or a vehicle a flight is a guess: only clean flights, off a wall at most.
  if (end.bounces > 0) return kNoShot;
  // Clear of the blast where the vehicle would coast to if it let go of its keys now.
  Vec coast{me_.x + 9 * velocity_.x, me_.y + 9 * velocity_.y};
  if (Distance(end.at.x, end.at.y, coast.x, coast.y) < blast + kVehicleReach + 40) return kNoShot;
  if (Distance(end.at.x, end.at.y, me_.x, me_.y) < blast + kVehicleReach) return kNoShot;
  double best = kNoShot;
  for (const Thing* r : rivals) {
    double lead = std::min(ticks * tune_.leadFactor, 40.0);
    double px = std::clamp(r->X + r->XSpeed * lead, 40.0, view.width - 40.0);
    double py = std::clamp(r->Y + r->YSpeed * lead, 40.0, view.height - 40.0);
    best = std::min(best, Distance(end.at.x, end.at.y, px, py) - tune_.hitTolerance * blast);
  }
  return best;
}

Choice Driver::Think(const View& view, const Thing& self) {
  if (self.ID != selfId_) {
    Forget();
    selfId_ = self.ID;
  }
  ++tick_;
  turn_ = haveLast_ ? static_cast<double>(self.Angle) - angle_ : 0.0;
  haveLast_ = true;
  me_ = {self.X, self.Y};
  width_ = view.width;
  height_ = view.height;
  velocity_ = {self.XSpeed, self.YSpeed};
  angle_ = self.Angle;
  topSpeed_ = self.TopSpeed();
  {
    // The drive part the game added on its last step: the tracks before their friction.
    double drive = (static_cast<double>(self.LeftTrack()) + self.RightTrack()) / (2 * 0.9);
    motion_ = {me_.x,
               me_.y,
               angle_,
               velocity_.x - drive * std::cos(angle_),
               velocity_.y - drive * std::sin(angle_),
               self.RightTrack(),
               self.LeftTrack()};
  }
  spareId_.clear();

  std::vector<const Thing*> rivals;
  std::vector<Threat> threats;
  const Thing* bestToken = nullptr;
  double bestTokenScore = 0;
  const int32_t damage = self.DamageTaken();
  const int32_t grenades = self.GrenadesLeft();
  const double margin = tune_.dangerMargin;
  for (const Thing* t : view.things) {
    switch (t->ThingType()) {
      case Vehicle: {
        if (t->ID == self.ID) break;
        Seen& s = Remember(*t);
        double moved = Distance(t->X, t->Y, s.last.x, s.last.y);
        s.activity = s.activity * 0.98 + (moved > 1.0 ? 1.0 : 0.0);
        s.last = {t->X, t->Y};
        rivals.push_back(t);
        break;
      }
      case Grenade: {
        bool own = t->Launcher == self.ID;
        if (!Noticed(*t, tune_.reactionTicks) && !own) break;
        int ticks = 0;
        Vec at = BurstPoint(*t, view, own, ticks);
        if (ticks <= tune_.dangerHorizon || own)
          threats.push_back({at, t->ExplosionSize + kVehicleReach + margin});
        break;
      }
      case Ball:
      case Block: {
        // Something shoved hard keeps rolling: out of its way.
        double speed = std::hypot(t->XSpeed, t->YSpeed);
        if (speed < 2.5) break;
        double reach = (t->ThingType() == Ball ? t->Radius : std::max(t->Width, t->Length) / 2.0) +
                       kVehicleReach;
        for (int k = 1; k <= 30; k += 3) {
          Vec p{t->X + t->XSpeed * k, t->Y + t->YSpeed * k};
          if (Distance(p.x, p.y, me_.x, me_.y) < reach + 15) {
            threats.push_back({p, reach + 20});
            break;
          }
        }
        break;
      }
      case Explosion:
        if (t->Radius <= t->ExplosionSize)
          threats.push_back({{t->X, t->Y}, t->ExplosionSize + kVehicleReach + margin});
        break;
      case PowerUp: {
        if (!Noticed(*t, tune_.spotTicks)) break;
        double value = 1.0;
        switch (t->PowerUpType()) {
          case ExtraGrenade:
            value = grenades == 0 ? 5.0 : grenades < 3 ? 3.0 : 1.5;
            break;
          case Repair:
            value = std::min(3.0, damage / 10.0);
            break;
          case Invulnerability:
            value = 6.0;
            break;
          case BiggerBlast:
            value = 1.5;
            break;
          default:
            break;
        }
        double score = value * 100.0 / (Distance(t->X, t->Y, me_.x, me_.y) + 100.0);
        if (score > bestTokenScore) {
          bestTokenScore = score;
          bestToken = t;
        }
        break;
      }
      default:
        break;
    }
  }
  obstacles_.clear();
  for (const Thing* t : view.things) {
    int32_t kind = t->ThingType();
    if (t->ID == self.ID || (kind != Vehicle && kind != Block && kind != Ball)) continue;
    Obstacle o;
    o.thing = t;
    o.at = {t->X, t->Y};
    double size =
        kind == Ball ? t->Radius : std::hypot(t->Length, t->Width + (kind == Vehicle ? 30 : 0)) / 2;
    o.near = Distance(t->X, t->Y, me_.x, me_.y) <
             size + 43 + 8 * std::hypot(velocity_.x, velocity_.y) + 20;
    if (kind == Ball) {
      o.round = true;
      o.halfLength = t->Radius;
    } else {
      o.cos = std::cos(t->Angle);
      o.sin = std::sin(t->Angle);
      o.halfLength = t->Length / 2.0;
      o.halfWidth = (kind == Vehicle ? t->Width + 30 : t->Width) / 2.0;
    }
    obstacles_.push_back(o);
  }
  seen_.erase(std::remove_if(seen_.begin(), seen_.end(),
                             [this](const Seen& s) { return s.lastTick != tick_; }),
              seen_.end());

  // Being stuck: driving for most of the last while without getting anywhere.
  trail_.push_back(me_);
  if (trail_.size() > kTrail) trail_.erase(trail_.begin());
  if (unstickTicks_ == 0 && trail_.size() == kTrail && drives_.size() == kTrail) {
    int forward = 0, backward = 0;
    for (Steer s : drives_) {
      forward += s == Steer::Forward;
      backward += s == Steer::Backward;
    }
    const Vec& then = trail_.front();
    if (forward + backward >= 20 && Distance(then.x, then.y, me_.x, me_.y) < 12) {
      unstickTicks_ = 30;
      unstickBackward_ = forward >= backward;
      unstickRight_ = random_.Draw() < 0.5f;
      trail_.clear();
    }
  }

  // Scraping along a block or wall costs damage a little at a time: get clear of it.
  scrapes_.push_back(damage > lastDamage_ && threats.empty());
  if (scrapes_.size() > 12) scrapes_.erase(scrapes_.begin());
  lastDamage_ = damage;
  if (escapeTicks_ == 0 && std::count(scrapes_.begin(), scrapes_.end(), true) >= 3) {
    Vec away{0, 0};
    Clearance(me_, &away);
    escapeHeading_ = std::atan2(away.y, away.x);
    escapeTicks_ = 20;
    scrapes_.clear();
  }

  const bool canFire =
      grenades > 0 && static_cast<double>(view.now) - self.LastLaunch() > 1.0 && !rivals.empty();
  Choice choice;
  bool decided = false;
  if (unstickTicks_ > 0) {
    --unstickTicks_;
    if (unstickTicks_ >= 12) {
      choice.steer = unstickBackward_ ? Steer::Backward : Steer::Forward;
    } else {
      choice.steer = unstickRight_ ? Steer::Right : Steer::Left;
    }
    decided = true;
  }

  // Danger first: get out of the reach of every blast it has seen coming.
  bool inDanger = false;
  for (const Threat& t : threats) {
    double d = std::min(Distance(me_.x, me_.y, t.at.x, t.at.y),
                        Distance(me_.x + 4 * velocity_.x, me_.y + 4 * velocity_.y, t.at.x, t.at.y));
    if (d < t.radius) inDanger = true;
  }
  if (!decided && inDanger) {
    double bestHeading = angle_;
    double bestScore = -std::numeric_limits<double>::infinity();
    for (int k = 0; k < 16; ++k) {
      double h = k * kPi / 8;
      double x = std::clamp(me_.x + 130 * std::cos(h), 45.0, view.width - 45.0);
      double y = std::clamp(me_.y + 130 * std::sin(h), 45.0, view.height - 45.0);
      double score = std::numeric_limits<double>::infinity();
      for (const Threat& t : threats)
        score = std::min(score, Distance(x, y, t.at.x, t.at.y) - t.radius);
      // Not against a wall, where a blast crushes; of two equally safe ways, the one the
      // vehicle already faces (or backs along).
      double wall = std::min(std::min(x, view.width - x), std::min(y, view.height - y));
      score -= std::max(0.0, 90.0 - wall);
      double turn = std::min(std::fabs(Wrap(h - angle_)), std::fabs(Wrap(h + kPi - angle_)));
      score -= 8 * turn;
      if (score > bestScore) {
        bestScore = score;
        bestHeading = h;
      }
    }
    choice = SteerTo(bestHeading, true, 0.5);
    decided = true;
  }

  if (!decided && escapeTicks_ > 0) {
    --escapeTicks_;
    choice = SteerTo(escapeHeading_, true, 0.6);
    decided = true;
  }

  // The rival to deal with: the nearest, those that drive about counting nearer, the
  // damaged ones a little nearer still.
  const Thing* rival = nullptr;
  if (!rivals.empty()) {
    if (tick_ - goalTick_ >= tune_.replanTicks) {
      double best = std::numeric_limits<double>::infinity();
      for (const Thing* r : rivals) {
        double score = Distance(r->X, r->Y, me_.x, me_.y) - 0.5 * r->DamageTaken();
        for (const Seen& s : seen_)
          if (s.id == r->ID && s.activity > 15) score -= 200;
        if (score < best) {
          best = score;
          goalId_ = r->ID;
        }
      }
      goalTick_ = tick_;
    }
    for (const Thing* r : rivals)
      if (r->ID == goalId_) rival = r;
    if (rival == nullptr) rival = rivals.front();
  }

  // A shot: launch when the burst lands on a rival, as far as the driver can judge its own
  // heading (a level may misjudge it by a fresh error every tick).
  double perceived =
      angle_ + (tune_.aimNoise > 0 ? tune_.aimNoise * (2.0 * random_.Draw() - 1.0) : 0.0);
  if (canFire && ShotQuality(perceived, view, self, rivals) < 0) choice.fire = true;

  if (!decided && bestToken != nullptr && (bestTokenScore > 0.9 || grenades == 0)) {
    choice.steer = DriveTo({bestToken->X, bestToken->Y}, 0.35).steer;
    decided = true;
  }

  if (!decided && rival != nullptr) {
    Vec at{rival->X, rival->Y};
    double dist = Distance(at.x, at.y, me_.x, me_.y);
    int32_t lead = rival->DamageTaken() - damage;
    // Ramming hurts both alike: worth it with a clear lead, never next to a wreck about to
    // blow, and always while nothing can hurt this one.
    bool ram = threats.empty() && ((self.IsInvulnerable() && !rival->IsInvulnerable()) ||
                                   (lead > 60 && level_ != Level::Hard &&
                                    rival->DamageTaken() < 170 && !rival->IsInvulnerable()));
    if (ram) {
      spareId_ = rival->ID;
      choice.steer = DriveTo({at.x + rival->XSpeed * 10, at.y + rival->YSpeed * 10}, 0.3).steer;
    } else if (grenades > 0 && lead > -60) {
      // The attack run: face the rival and back away from it, so that a grenade leaves
      // slowly and bursts on it instead of flying round the arena.
      double ahead = std::min(100 * tune_.leadFactor, 40.0);
      Vec aim{std::clamp(at.x + rival->XSpeed * ahead, 40.0, view.width - 40.0),
              std::clamp(at.y + rival->YSpeed * ahead, 40.0, view.height - 40.0)};
      double wall = std::min(std::min(me_.x, width_ - me_.x), std::min(me_.y, height_ - me_.y));
      // Once on its way out, all the way out: no dithering at the edge.
      outward_ = dist > 150 && (wall < 75 || (outward_ && wall < 110));
      if (outward_) {
        // Pinned against a wall a ram or a blast does the most harm: out into the open first.
        Vec open{std::clamp(me_.x, 150.0, width_ - 150.0),
                 std::clamp(me_.y, 150.0, height_ - 150.0)};
        choice.steer = DriveTo(open, 0.35).steer;
      } else if (dist > 330) {
        choice.steer = DriveTo(aim, 0.35).steer;
      } else {
        double h = std::atan2(aim.y - me_.y, aim.x - me_.x);
        Choice face = SteerTo(h, false, 0.2);
        choice.steer = face.steer;
        if (face.steer == Steer::Forward) {
          // Room behind, counting the way the vehicle coasts once the key is let go.
          double coast = 50 + 9 * std::hypot(velocity_.x, velocity_.y);
          Vec behind{me_.x - coast * std::cos(angle_), me_.y - coast * std::sin(angle_)};
          double edge = std::min(std::min(behind.x, width_ - behind.x),
                                 std::min(behind.y, height_ - behind.y));
          bool room = Clearance(behind, nullptr) > 40 && edge > 80;
          choice.steer = room ? Steer::Backward : Steer::None;
        }
      }
    } else {
      double keep = 300;
      if (dist < keep) {
        // Back off: away from the rival, but not into a corner.
        double away = std::atan2(me_.y - at.y, me_.x - at.x);
        double x = std::clamp(me_.x + 150 * std::cos(away), 70.0, view.width - 70.0);
        double y = std::clamp(me_.y + 150 * std::sin(away), 70.0, view.height - 70.0);
        if (Distance(x, y, me_.x, me_.y) > 40)
          choice.steer = SteerTo(std::atan2(y - me_.y, x - me_.x), true, 0.4).steer;
      } else if (bestToken != nullptr) {
        choice.steer = DriveTo({bestToken->X, bestToken->Y}, 0.35).steer;
      }
    }
  }

  // Bumping into things hurts by the speed of the bump: outside danger a careful driver
  // lets its tracks slow down rather than drive flat out.
  if (!inDanger && (choice.steer == Steer::Forward || choice.steer == Steer::Backward) &&
      std::hypot(velocity_.x, velocity_.y) > tune_.cruiseSpeed)
    choice.steer = Steer::None;

  // Bumps cost damage by the speed of the outline where it meets something, and a turn with
  // a corner against a wall grinds on every tick: whatever it wants, not into anything
  // (in a blast's way a light bump is the lesser harm).
  choice.steer = Guard(choice.steer, inDanger ? 5.0 : 0.5);

  drives_.push_back(choice.steer);
  if (drives_.size() > kTrail) drives_.erase(drives_.begin());
  return choice;
}

}  // namespace tb::bots
