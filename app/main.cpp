// Entry point of the editor.
#include "KvLocalizer.h"
#include "Program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    PreferX11UnderWayland();
    QApplication application(argc, argv);
    return RunProgram(TKvLocalizer::DefaultLanguagesFolder());
}
