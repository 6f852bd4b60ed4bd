#include "match/Tick.h"

#include "shell/MainFrm.h"

namespace tb {

void PlayTick(MainFrm& form, TickRules* rules) {
  if (rules != nullptr) {
    rules->PlayTick(form);
  } else {
    form.Timer1Tick();
  }
}

}  // namespace tb
