#pragma once

#include <string>

#include "server/CatalogueStore.h"
#include "server/FingerprintIndex.h"

namespace quil {

// The checksum of the codebooks this build carries (SHA-256 of their
// embedded bytes, hex): a catalogue made with other codebooks holds codes
// that mean nothing to this build's clients.
std::string BuildCodebookChecksum();

// Checks the store's codebook checksum against this build's (an empty
// catalogue has none and passes) and reads every song into `index`, then
// finishes it. 0, or -1 with a sentence for people in `error`.
int LoadIndex(CatalogueStore& store, FingerprintIndex& index, std::string& error);

}  // namespace quil
