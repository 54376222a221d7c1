// The start-up scan of the file layer: the excluded-name list, the packs and the files of the
// assets folder and the user and common folders, entered into the known-file map. Main thread,
// once, from the platform constructor after the folder roots are set.
#pragma once

#include "engine/core/str.h"

// Off at start; on, the list file is "firstpeek.txt" instead of "final.txt".
void SetFirstPeek(bool on);
bool IsFirstPeek();

void BuildKnownFiles();
// Enters the packs and then the files below `folder` into the known-file map, keyed by `prefix`
// and the path below the folder (below the assets folder for an empty prefix), lower-cased.
void ScanFolder(const str& folder, const str& prefix);
