// Where the user's object library lives: the folder "orvane/library" in the
// user's data folder ($XDG_DATA_HOME, by default ~/.local/share).  The
// clipping tool saves objects there, the paste tool lists and reads them,
// and orvane-paste looks entry names up in it.
#pragma once

#include <filesystem>

std::filesystem::path ObjectLibraryFolder();
