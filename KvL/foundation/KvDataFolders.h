// Where the program finds the data it ships with (language files, help
// pages, demonstrations): beside the executable, or in the source tree
// seen from the build's bin folder, or in the installed share folder. The
// localizer, the help and the demonstrations use it.
#pragma once

#include <QString>

// The folder of that name beside the executable when it exists, else
// ../../<name> (the source tree from the build's bin folder), else
// ../share/orvane/<name> (an installation); the first when none exists.
QString ProgramDataFolder(const QString& name);
