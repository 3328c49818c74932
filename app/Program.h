// The program from start to end, on the Qt application object the caller
// made: the application object, the localizer, the mark that the program
// is running, the title, the shared images and the composition root; the
// main loop; then everything released in reverse order.
#pragma once

#include <QString>

// Returns the exit code (0, or -1 when a plug-in edit was cancelled; with
// --play, the play run's status).
int RunProgram(const QString& languagesFolder);

// Demonstrations move the real pointer, which a Wayland session does not
// let a program do: with an X server at hand (XWayland, DISPLAY set) and no
// platform chosen, the program runs on it. Called before the Qt application
// object is made.
void PreferX11UnderWayland();
