// SPDX-License-Identifier: MIT
#pragma once
// What every front end hands the update procedure: the services of the process it runs in.
// The referenced objects outlive the procedure (they are the process's own, or a test's).
#include "images/image_set.h"
#include "link/driver_library.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/ui_language.h"
#include "update/run_observer.h"

namespace zmr {

struct UpdateContext {
  Clock& clock;                             // every wait and every time of the run
  const platform::KeyState& keys;           // the force-mode chord, read at the press
  const ImportedDriver& imported;           // the linked driver library's entry points
  const CDriverLibrary& loaded;             // the driver library loaded by name
  platform::Language language;              // of every text the run shows
  ImageSet::Source images = EmbeddedImage;  // where the images are copied from
  RunObserver* observer = nullptr;          // told of download mode and each step; may be null
};

}  // namespace zmr
