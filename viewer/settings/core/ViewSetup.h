#pragma once
// The settings record's defaults and the rule for a record read from ViewSetup.dat. Neutral.
#include "settings/ViewSetupRecord.h"

namespace settings {

// Results of reading the settings file.
enum LoadResult : int { kLoadRead = 0, kLoadMissing = 1, kLoadShort = 2 };

// All zero; then for each of the DVR's first `channelCount` channels (at most 16) the entry
// {1, 1, 0, 8, 19, 15, 0, 0}; easy block {1, 0, 1, 2, 3, 0, 0, 0}; audio choice 0.
ViewSetupRecord DefaultViewSetup(int channelCount);

struct LoadOutcome {
    int result; // kLoadRead or kLoadShort
    int32_t audioRead; // the audio choice as the read left it, before any defaults
};

// `record` received `got` bytes of the file over its old contents (at most 140 were asked for).
// A short file gives the default record, but the audio choice that the read produced is still
// reported: the setup dialog's "Enable Audio" box takes it either way.
LoadOutcome FinishLoad(ViewSetupRecord& record, size_t got, int channelCount);

} // namespace settings
