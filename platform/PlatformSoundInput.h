#pragma once

#include <memory>
#include <string>

#include "platform/SoundInput.h"

namespace quil {

// The sound server of this platform (PulseAudio on Linux, DirectSound on
// Windows). `server` names a PulseAudio server ("unix:/path/to/native");
// empty means the user's own; Windows has only its own and ignores it.
// Never null: without a server the object lists no devices and keeps trying
// to connect in the background, reporting devices through the change
// callback once a server answers. Waits a bounded time for the first
// answer, so that the first list is complete.
std::unique_ptr<SoundInput> CreatePlatformSoundInput(const std::string& server = {});

}  // namespace quil
