#include "app/sim/Scene.h"

#include <memory>

#include "app/sim/SimPlatform.h"
#include "pictures/Png.h"
#include "shell/Random.h"
#include "world/ThingAccess.h"

namespace tb::sim {

namespace {

constexpr float kPi = 3.1415927f;

std::shared_ptr<Thing> Rect(MainFrm& form, int32_t kind, float x, float y, int32_t width,
                            int32_t length, float angle, int32_t colour) {
  auto t = std::make_shared<Thing>(form);
  t->Width = width;
  t->Length = length;
  t->X = x;
  t->Y = y;
  t->Angle = angle;
  t->Color = colour;
  t->ThingType(kind);
  return t;
}

struct VehicleLook {
  float x, y, angle;
  int32_t colour;
  int32_t damage;
  float rightTread, leftTread;
  bool invulnerable;
  float maxSpeed;
  float pulse;  // chosen so the first glow is bright rather than near zero
};

}  // namespace

void BuildScene(MainFrm& form) {
  const float w = static_cast<float>(kSceneWidth);
  const float h = static_cast<float>(kSceneHeight);
  const int32_t wallGrey = 0x646464;
  // Unlike the arena's, these walls lie inside the picture so that they can be seen.
  const std::shared_ptr<Thing> things[] = {
      Rect(form, Wall, w / 2, 10, kSceneWidth, 20, kPi / 2, wallGrey),
      Rect(form, Wall, w / 2, h - 10, kSceneWidth, 20, kPi / 2, wallGrey),
      Rect(form, Wall, 10, h / 2, 20, kSceneHeight - 40, kPi / 2, wallGrey),
      Rect(form, Wall, w - 10, h / 2, 20, kSceneHeight - 40, kPi / 2, wallGrey),
      Rect(form, Block, w / 2, h / 2, 60, 90, 0.5f, 0xB4B4B4),
  };
  for (const auto& t : things) {
    t->FindPoints();
    form.RegisterThing(t);
  }

  const VehicleLook looks[] = {
      {130, 130, kPi / 4, 0x00FF00, 0, 0.0f, 4.0f, false, 8.0f, 0.0f},
      {w - 130, 130, 3 * kPi / 4 + 0.4f, 0x0000FF, 60, 2.5f, 6.0f, true, 8.0f, 1.2f},
      {w - 130, h - 130, 5 * kPi / 4, 0xFF0000, 125, 7.5f, 1.0f, false, 12.0f, 1.4f},
      {130, h - 130, 0.3f, 0x00FFFF, 200, 5.0f, 3.0f, false, 8.0f, 0.0f},
  };
  for (const VehicleLook& look : looks) {
    auto v = Rect(form, Vehicle, look.x, look.y, 30, 60, look.angle, look.colour);
    ThingAccess::Damage(*v) = look.damage;
    ThingAccess::RightTreadOffset(*v) = look.rightTread;
    ThingAccess::LeftTreadOffset(*v) = look.leftTread;
    ThingAccess::Invulnerable(*v) = look.invulnerable;
    ThingAccess::MaxSpeed(*v) = look.maxSpeed;
    ThingAccess::Pulse(*v) = look.pulse;
    v->FindPoints();
    form.RegisterThing(v);
  }
}

void DrawThings(MainFrm& form) {
  form.DrawingSurface().Clear();
  for (Thing* t : form.ThingCollection.Items()) t->Draw();
}

bool WriteScenePng(const std::string& path, std::string& error) {
  Raster raster(kSceneWidth, kSceneHeight);
  ScriptedKeys keys;
  RecordingSoundPlayer sounds;
  SimClock clock(36000.0);
  Pcg32 random(1, true);
  MainFrm form(raster, keys, sounds, clock, random, ".");
  BuildScene(form);
  DrawThings(form);
  return WritePng(raster, path, error);
}

void BuildContactScene(MainFrm& form) {
  const int32_t w = kSceneWidth, h = kSceneHeight;
  auto add = [&form](const std::shared_ptr<Thing>& t, float xSpeed) {
    t->XSpeed = xSpeed;
    t->FindPoints();
    form.RegisterThing(t);
  };
  // The arena's walls, just outside the picture.
  const int32_t wallGrey = 0x646464;
  add(Rect(form, Wall, w / 2.0f, -50, w, 100, kPi / 2, wallGrey), 0);
  add(Rect(form, Wall, w / 2.0f, h + 50.0f, w, 100, kPi / 2, wallGrey), 0);
  add(Rect(form, Wall, -50, h / 2.0f, 100, h, kPi / 2, wallGrey), 0);
  add(Rect(form, Wall, w + 50.0f, h / 2.0f, 100, h, kPi / 2, wallGrey), 0);
  // Two vehicles nose to nose, a little offset so that corners meet first.
  add(Rect(form, Vehicle, 100, 100, 30, 60, 0, 0x00FF00), 3);
  add(Rect(form, Vehicle, 200, 110, 30, 60, kPi, 0x0000FF), -3);
  // Two blocks sliding together, one turned so that its corner leads.
  add(Rect(form, Block, 150, 300, 40, 40, 0, 0xA0A0A0), 5);
  add(Rect(form, Block, 240, 300, 40, 40, 0.4f, 0xC8C8C8), -5);
  // A grenade thrown at a block; its fuse outlasts the scene's first second.
  add(Rect(form, Block, 420, 450, 40, 40, 0, 0xB4B4B4), 0);
  auto grenade = std::make_shared<Thing>(form);
  grenade->X = 330;
  grenade->Y = 450;
  grenade->ThingType(Grenade);
  add(grenade, 5);
  // A ball rolling into the right-hand wall.
  auto ball = std::make_shared<Thing>(form);
  ball->X = 480;
  ball->Y = 200;
  ball->ThingType(Ball);
  ball->Radius = 20;
  ball->Color = 0x000096;
  add(ball, 4);
}

}  // namespace tb::sim
