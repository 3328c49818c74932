// Helpers for tests that run the program's editor. Header-only: it needs the
// user-interface layer, which the support library does not link.
#pragma once

#include "KvEditor.h"

// Closes every document of the editor (none when there is no editor)
// without asking to save, so that a test's program ends whatever state its
// pictures are in.
inline void CloseEveryDocumentUnasked(const TKvEditor* editor)
{
    while (TKvDocument* document = editor ? editor->ActiveDocument() : nullptr) {
        document->SetNoSavePrompt(true);
        document->CloseQuery();
    }
}
