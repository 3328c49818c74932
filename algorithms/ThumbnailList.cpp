#include "ThumbnailList.h"

#include <algorithm>

TThumbnailList::TThumbnailList(std::filesystem::path folder)
    : m_folder(std::move(folder))
{
    m_items.reserve(128);
}

void TThumbnailList::SetSelected(int index)
{
    m_selected = Inside(index) ? index : -1;
}

void TThumbnailList::Add(const std::string& name)
{
    m_items.push_back(TThumbnail::ReadThumbnail(m_folder, name));
    m_selected = Count() - 1;
}

void TThumbnailList::Delete(int index)
{
    if (!Inside(index))
        return;
    m_items.erase(m_items.begin() + index);
    m_selected = std::min(m_selected, Count() - 1);
}

void TThumbnailList::Clear()
{
    m_items.clear();
    m_selected = -1;
}

std::string TThumbnailList::NameOf(int index) const
{
    return Inside(index) ? m_items[std::size_t(index)].Name() : std::string();
}

TColorTriple TThumbnailList::GetPixel(int index, int x, int y) const
{
    return Inside(index) ? m_items[std::size_t(index)].GetPixel(x, y) : TColorTriple{};
}
