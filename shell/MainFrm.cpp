#include "shell/MainFrm.h"

#include <algorithm>
#include <cmath>

#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "render/Sound.h"
#include "shell/Controls.h"

namespace tb {

MainFrm::MainFrm(Surface& surface, KeyState& keys, SoundPlayer& sound, Clock& clock,
                 RandomSource& random, std::string exeFolder)
    : surface_(surface),
      keys_(keys),
      sound_(sound),
      clock_(clock),
      random_(random),
      exeFolder_(std::move(exeFolder)) {
  SetCaption("Form1");
  // The contact state is shared by the module; a new game must not see an old game's.
  Module1::Contact = {};
}

void MainFrm::SetCaption(const std::string& text) {
  caption_ = text;
  surface_.SetCaption(text);
}

Snapshot MainFrm::TakeSnapshot() const {
  Snapshot s;
  TakeSnapshot(s);
  return s;
}

void MainFrm::TakeSnapshot(Snapshot& s) const {
  s.Things.clear();
  s.OutOfWorld.clear();
  s.Players.clear();
  std::vector<Thing*> items = ThingCollection.Items();
  s.Things.reserve(items.size());
  for (const Thing* t : items) s.Things.push_back(*t);
  for (const auto& [colour, thing] : PlayerCollection) {
    Snapshot::Player p;
    p.Colour = colour;
    auto at = std::find(items.begin(), items.end(), thing.get());
    p.InWorld = at != items.end();
    if (p.InWorld) {
      p.Index = static_cast<uint32_t>(at - items.begin());
    } else {
      p.Index = static_cast<uint32_t>(s.OutOfWorld.size());
      s.OutOfWorld.push_back(*thing);
    }
    s.Players.push_back(std::move(p));
  }
  s.IDCount = IDCount;
  s.GameStarted = GameStarted;
  s.RandomState = random_.SaveState();
  s.Contact = Module1::Contact;
  s.Caption = caption_;
}

void MainFrm::RestoreSnapshot(const Snapshot& s) {
  // Things that are, in the same order, under the same IDs in the snapshot take its values in
  // place, so that the collision grid keeps what it knows of them; the grid then compares
  // every thing with what it filed, as after any tick, and forgets the quiet looks wherever
  // something differs. From the first thing that cannot keep its place, the rest is made anew.
  std::vector<Thing*> present = ThingCollection.Items();
  std::vector<std::shared_ptr<Thing>> made;
  made.reserve(s.Things.size());
  size_t kept = 0;  // present things kept or gone so far
  size_t j = 0;
  for (; j < s.Things.size(); ++j) {
    const std::string& id = s.Things[j].ID;
    // Things that left the snapshot's order a little further on (born since it) go.
    size_t at = kept;
    while (at < present.size() && at - kept < kRestoreLookAhead && present[at]->ID != id) ++at;
    if (at == present.size() || present[at]->ID != id) break;
    for (; kept < at; ++kept) ThingCollection.Remove(present[kept]->ID);
    std::shared_ptr<Thing> thing = ThingCollection.Share(id);
    *thing = s.Things[j];
    thing->Adopt(*this);
    made.push_back(std::move(thing));
    ++kept;
  }
  for (size_t i = kept; i < present.size(); ++i) ThingCollection.Remove(present[i]->ID);
  for (; j < s.Things.size(); ++j) {
    auto copy = std::make_shared<Thing>(s.Things[j]);
    copy->Adopt(*this);
    ThingCollection.Add(copy->ID, copy);
    made.push_back(std::move(copy));
  }
  Grid.Refresh();
  PlayerCollection.clear();
  for (const Snapshot::Player& p : s.Players) {
    std::shared_ptr<Thing> thing;
    if (p.InWorld && p.Index < made.size()) {
      thing = made[p.Index];
    } else if (!p.InWorld && p.Index < s.OutOfWorld.size()) {
      thing = std::make_shared<Thing>(s.OutOfWorld[p.Index]);
      thing->Adopt(*this);
    }
    if (thing) PlayerCollection[p.Colour] = std::move(thing);
  }
  IDCount = s.IDCount;
  GameStarted = s.GameStarted;
  random_.RestoreState(s.RandomState);
  Module1::Contact = s.Contact;
  SetCaption(s.Caption);
}

void MainFrm::Load() { random_.Randomize(clock_.Now()); }

void MainFrm::KeyDown(uint16_t keyCode, int /*shift*/) {
  if (keyCode == kEscapeKey) closed_ = true;
}

void MainFrm::Timer1Tick() {
  if (closed_) return;
  if (!GameStarted) {
    SetUpArena();
    GameStarted = true;
  }
  surface_.Clear();
  if (beforeControls_) beforeControls_(*this);
  ReadControls();
  ThingCollection.Walk([this](Thing& t) {
    int32_t kind = t.ThingType();
    if (kind != Wall && kind != Explosion) t.Move();
    t.Draw();  // an explosion grows here
    return true;
  });
  if (std::floor(D(random_.Draw()) * 130.0) == 0.0) RandomEvent();
}

void MainFrm::RegisterThing(const std::shared_ptr<Thing>& thing) {
  IDCount = IDCount + 1;
  thing->ID = "ID" + std::to_string(IDCount);
  ThingCollection.Add(thing->ID, thing);
}

Thing* MainFrm::Player(const std::string& colour) const {
  auto it = PlayerCollection.find(colour);
  return it == PlayerCollection.end() ? nullptr : it->second.get();
}

void MainFrm::ReadControls() {
  for (const PlayerKeys& keys : kPlayerKeys) {
    Thing* v = Player(keys.Name);
    if (v == nullptr) continue;
    if (keys_.IsKeyDown(keys.Right)) {
      v->RotateRight();
    } else if (keys_.IsKeyDown(keys.Left)) {
      v->RotateLeft();
    } else if (keys_.IsKeyDown(keys.Forward)) {
      v->MoveForward();
    } else if (keys_.IsKeyDown(keys.Backward)) {
      v->MoveBackward();
    }
    if (keys_.IsKeyDown(keys.Fire)) v->LaunchGrenade();
  }
}

template <class MoveFn>
bool MainFrm::PlaceFreely(const std::shared_ptr<Thing>& thing, int64_t& triesLeft,
                          MoveFn&& moveIt) {
  for (;;) {
    const uint64_t removals = ThingCollection.Removals();
    bool overlap = thing->HitThings(true);
    // A token handed to a vehicle on the spot has left the world: nothing more to place.
    if (ThingCollection.Removals() != removals && !ThingCollection.Contains(thing->ID))
      return false;
    if (!overlap) return true;
    if (triesLeft <= 0) {
      ThingCollection.Remove(thing->ID);
      return false;
    }
    --triesLeft;
    moveIt();
  }
}

void MainFrm::SetUpArena() {
  ThingCollection.Clear();
  PlayerCollection.clear();
  setUpTriesLeft_ = kSetUpPlacementTries;
  const double pi = D(kPi);
  auto W = [this] { return D(surface_.DrawableWidth()); };
  auto H = [this] { return D(surface_.DrawableHeight()); };
  AddVehicle(100, 100, 0x00FF00, F(pi / 4.0), "Green");
  AddVehicle(RoundToInt(W() - 100.0), 100, 0x0000FF, F(3.0 * pi / 4.0), "Red");
  AddVehicle(RoundToInt(W() - 100.0), RoundToInt(H() - 100.0), 0xFF0000, F(5.0 * pi / 4.0), "Blue");
  AddVehicle(100, RoundToInt(H() - 100.0), 0x00FFFF, F(7.0 * pi / 4.0), "Yellow");

  const float heading = F(pi / 2.0);
  const int32_t grey = 0x646464;
  AddWall(RoundToInt(W() / 2.0), -50, RoundToInt(W()), 100, heading, grey);
  AddWall(RoundToInt(W() / 2.0), RoundToInt(H() + 50.0), RoundToInt(W()), 100, heading, grey);
  AddWall(-50, RoundToInt(H() / 2.0), 100, RoundToInt(H()), heading, grey);
  AddWall(RoundToInt(W() + 50.0), RoundToInt(H() / 2.0), 100, RoundToInt(H()), heading, grey);

  int blocks = static_cast<int>(std::floor(10.0 * D(random_.Draw()))) + 3;
  for (int i = 0; i < blocks; ++i) {
    double r1 = D(random_.Draw());
    double rx = D(random_.Draw());
    double ry = D(random_.Draw());
    double rw = D(random_.Draw());
    double rl = D(random_.Draw());
    double ra = D(random_.Draw());
    int32_t g = RoundToInt(155.0 * r1 + 100.0);
    AddBlock(RoundToInt(rx * W()), RoundToInt(ry * H()), RoundToInt(100.0 * rw + 20.0),
             RoundToInt(100.0 * rl + 20.0), F(D(kTwoPi) * ra), g + 256 * g + 65536 * g);
  }
  int balls = static_cast<int>(std::floor(2.0 * D(random_.Draw()))) + 1;
  for (int i = 0; i < balls; ++i) {
    double r1 = D(random_.Draw());
    double rx = D(random_.Draw());
    double ry = D(random_.Draw());
    double rr = D(random_.Draw());
    AddBall(RoundToInt(rx * W()), RoundToInt(ry * H()), RoundToInt(50.0 * rr + 5.0),
            RoundToInt(155.0 * r1));
  }
}

std::shared_ptr<Thing> MainFrm::NewThingAt(int32_t X, int32_t Y) {
  auto t = std::make_shared<Thing>(*this);
  t->X = static_cast<float>(X);
  t->Y = static_cast<float>(Y);
  return t;
}

std::shared_ptr<Thing> MainFrm::NewRectangle(int32_t X, int32_t Y, int32_t Width, int32_t Length,
                                             float Heading, int32_t Colour, int32_t Type) {
  auto t = NewThingAt(X, Y);
  t->Width = Width;
  t->Length = Length;
  t->Color = Colour;
  t->Angle = Heading;
  t->ThingType(Type);
  t->FindPoints();
  return t;
}

void MainFrm::AddVehicle(int32_t X, int32_t Y, int32_t Colour, float Heading,
                         const std::string& Name) {
  auto t = NewRectangle(X, Y, 30, 60, Heading, Colour, Vehicle);
  PlayerCollection[Name] = t;
  RegisterThing(t);
}

void MainFrm::AddWall(int32_t X, int32_t Y, int32_t Width, int32_t Length, float Heading,
                      int32_t Colour) {
  auto t = NewRectangle(X, Y, Width, Length, Heading, Colour, Wall);
  RegisterThing(t);
}

void MainFrm::AddBlock(int32_t X, int32_t Y, int32_t Width, int32_t Length, float Heading,
                       int32_t Colour) {
  auto t = NewRectangle(X, Y, Width, Length, Heading, Colour, Block);
  RegisterThing(t);
  PlaceFreely(t, setUpTriesLeft_, [&] {
    double rx = D(random_.Draw());
    double w = D(surface_.DrawableWidth());
    double ry = D(random_.Draw());
    double h = D(surface_.DrawableHeight());
    t->X = F(rx * w);
    t->Y = F(ry * h);
    t->FindPoints();
  });
}

void MainFrm::AddBall(int32_t X, int32_t Y, int32_t Radius, int32_t Colour) {
  auto t = NewThingAt(X, Y);
  t->ThingType(Ball);
  t->Radius = Radius;
  t->Color = Colour;
  RegisterThing(t);
  PlaceFreely(t, setUpTriesLeft_, [&] {
    double rx = D(random_.Draw());
    double w = D(surface_.DrawableWidth());
    double ry = D(random_.Draw());
    double h = D(surface_.DrawableHeight());
    t->X = F(rx * w);
    t->Y = F(ry * h);
    t->XSpeed = 0;
    t->YSpeed = 0;
  });
}

void MainFrm::NewGrenade(int32_t X, int32_t Y, int32_t XSpeed, int32_t YSpeed,
                         int32_t ExplosionSize, const std::string& Launcher) {
  auto t = NewThingAt(X, Y);
  t->Launcher = Launcher;
  t->XSpeed = static_cast<float>(XSpeed);
  t->YSpeed = static_cast<float>(YSpeed);
  t->ExplosionSize = ExplosionSize;
  t->ThingType(Grenade);
  RegisterThing(t);
}

void MainFrm::NewExplosion(int32_t X, int32_t Y, int32_t ExplosionSize) {
  auto t = NewThingAt(X, Y);
  t->ExplosionSize = ExplosionSize;
  t->ThingType(Explosion);
  RegisterThing(t);
}

void MainFrm::AddPowerUp(int32_t X, int32_t Y, int32_t Kind) {
  auto t = NewThingAt(X, Y);
  t->PowerUpType(Kind);
  t->ThingType(PowerUp);
  t->Radius = 8;
  RegisterThing(t);
  int64_t triesLeft = kMaxPlacementTries;
  PlaceFreely(t, triesLeft, [&] {
    double rx = D(random_.Draw());
    double w = D(surface_.DrawableWidth());
    double ry = D(random_.Draw());
    double h = D(surface_.DrawableHeight());
    t->X = F(rx * w);
    t->Y = F(ry * h);
  });
}

void MainFrm::RandomEvent() {
  PlayCategory(*this, kRandomSounds);
  int c = static_cast<int>(std::floor(100.0 * D(random_.Draw())));
  int32_t kind = c < 60   ? ExtraGrenade
                 : c < 70 ? Invulnerability
                 : c < 80 ? SpeedBoost
                 : c < 90 ? BiggerBlast
                          : Repair;
  double rx = D(random_.Draw());
  double w = D(surface_.DrawableWidth());
  double ry = D(random_.Draw());
  double h = D(surface_.DrawableHeight());
  AddPowerUp(RoundToInt(rx * w), RoundToInt(ry * h), kind);
}

}  // namespace tb
