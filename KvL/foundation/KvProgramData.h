// Where the program's data lies: its languages, help pages, demonstrations
// and licence texts. In the build tree they are beside the executable (or in
// the source tree two folders up, when the build folder lies in the
// checkout); after installation they are in <prefix>/share/orvane, the
// licence texts in <prefix>/share/doc/orvane. The programs look for them
// relative to their own folder, so an installed tree runs from wherever it
// lies and from any working directory. The localizer, the composition root
// and the about box use it.
#pragma once

#include <QString>

// The path of the data item (a folder such as "Languages", or a file such as
// "LICENSE") for a program in executableFolder: the first place that holds
// it, or the place beside the executable when none does.
QString ProgramDataPath(const QString& name, const QString& executableFolder);
// The same for the running program.
QString ProgramDataPath(const QString& name);
