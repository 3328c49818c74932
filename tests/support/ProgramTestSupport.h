// The modules of the program running in this test's process, as its
// composition root made them, for tests that run the whole program.
// Header-only: it needs the program library, which the support library does
// not link.
#pragma once

#include "KvForms.h"
#include "Model.h"

// The composition root among the application object's components; null
// while no program runs.
inline TModule* RunningModule()
{
    if (!KvApplication)
        return nullptr;
    for (int i = 0; i < KvApplication->ComponentCount(); ++i)
        if (auto* module = qobject_cast<TModule*>(KvApplication->Components(i)))
            return module;
    return nullptr;
}
