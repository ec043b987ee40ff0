// Finds the run's progress receiver behind the parameter set's owner.
#pragma once

#include <toolkit/tobject.h>

#include "extension/vot_arcmap_areaclip_exec.h"

inline Tvo_arcmap_areaclip_progress* progress_receiver(TObject* owner) {
  return owner ? dynamic_cast<Tvo_arcmap_areaclip_progress*>(owner) : nullptr;
}
