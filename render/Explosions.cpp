#include <algorithm>
#include <cmath>

#include "geometry/Numeric.h"
#include "render/Sound.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

void Thing::Explode() {
  if (Exploded) return;
  Exploded = true;
  PlayCategory(*Form, kBombSounds);
  Form->NewExplosion(RoundToInt(D(X)), RoundToInt(D(Y)), ExplosionSize);
  Form->ThingCollection.Remove(ID);
}

void Thing::DrawRound() {
  if (ThingType() == Explosion) {
    Radius = Radius <= INT32_MAX - 25 ? Radius + 25 : INT32_MAX;
    if (Radius > ExplosionSize) {
      Form->ThingCollection.Remove(ID);
      return;
    }
  }
  if (ThingType() == Grenade) {
    Clock& clock = Form->GameClock();
    if (D(clock.Now()) > D(FuseTime)) {
      Explode();
    } else {
      float t = clock.Now();
      Pulse = F(D(Pulse) + (2.0 - (D(FuseTime) - D(t))) / 2.0 * 0.5);
      Color = RoundToInt16(std::fabs(std::sin(D(Pulse))) * 255.0);
    }
  }
  Surface& s = Form->DrawingSurface();
  s.SetPenWidth(RoundToInt16(2.0 * Radius));
  s.PlotPoint(X, Y, 16777215);
  s.SetPenWidth(RoundToInt16(std::max(1.0, 2.0 * Radius - 4.0)));
  s.PlotPoint(X, Y, Color);
}

}  // namespace tb
