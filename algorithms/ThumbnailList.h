// The thumbnails of the object library's entries in the order the paste
// tool's grid shows them, with the entry selected in it.
#pragma once

#include "Thumbnail.h"

#include <filesystem>
#include <string>
#include <vector>

// An ordered list of the thumbnails of one library folder's entries and the
// index of the selected one (-1 for none).
class TThumbnailList {
public:
    explicit TThumbnailList(std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return m_folder; }
    int Count() const { return int(m_items.size()); }
    int Selected() const { return m_selected; }
    // An index outside the list selects nothing.
    void SetSelected(int index);

    // Reads the entry's thumbnail (black when it cannot be read), appends it
    // and selects it.
    void Add(const std::string& name);
    // Removes the entry at index, when there is one; the selection stays on
    // the same index or moves to the new last entry.
    void Delete(int index);
    void Clear();

    // The entry name at index; empty outside the list.
    std::string NameOf(int index) const;
    // Pixel (x, y) of the thumbnail at index; black outside the list.
    TColorTriple GetPixel(int index, int x, int y) const;
    const TThumbnail& At(int index) const { return m_items[std::size_t(index)]; }

private:
    bool Inside(int index) const { return index >= 0 && index < Count(); }

    std::filesystem::path m_folder;
    std::vector<TThumbnail> m_items;
    int m_selected = -1;
};
