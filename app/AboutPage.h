// The program's about box: the entry table of its pages (name and version,
// the licence text and the help pages as links, the legal notice, the
// credits and the licences of what the program links and ships) and its
// picture. The composition root hands it to the about module.
#pragma once

#include "KvAbout.h"

struct TKvSystemVersion;

TKvAboutDescription ProgramAboutDescription(const TKvSystemVersion& system);
