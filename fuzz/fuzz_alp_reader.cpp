// Feeds arbitrary bytes to the object library's matte reader.  The first
// byte picks the path: even, the rest is a compressed .alp file; odd, the
// rest is the matte's text, fed in pieces of (first byte / 2 + 1) bytes.  A
// matte that reads is written again and must read back with the same values.
#include "AlphaChanal.h"
#include "BGRAlpha.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Small enough that every run stays quick; the limit itself is checked too.
constexpr std::uint64_t PixelLimit = 1 << 18;

bool ReadText(const char* text, std::size_t size, std::size_t piece, TAlphaChanal& matte)
{
    TAlphaTextReader reader(PixelLimit);
    for (std::size_t at = 0; at < size; at += piece)
        if (!reader.Feed(text + at, std::min(piece, size - at)))
            return false;
    return reader.Finish(matte);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    TAlphaChanal matte;
    const bool read = mode % 2 == 0
        ? DecompressMatte(data + 1, size - 1, PixelLimit, matte)
        : ReadText(reinterpret_cast<const char*>(data + 1), size - 1, std::size_t(mode / 2 + 1), matte);
    if (!read)
        return 0;
    if (matte.Width() < 1 || matte.Height() < 1 || matte.MarginX() < 0 || matte.MarginY() < 0
        || std::uint64_t(matte.Width()) * std::uint64_t(matte.Height()) > PixelLimit)
        std::abort();

    TAlphaChanal written = matte;
    const std::string text = written.SaveToText();
    TAlphaChanal again;
    if (!ReadText(text.data(), text.size(), text.size() + 1, again)
        || again.Width() != matte.Width() + 2 * written.MarginX()
        || again.Height() != matte.Height() + 2 * written.MarginY())
        std::abort();
    for (int x = 0; x < matte.Width(); ++x)
        for (int y = 0; y < matte.Height(); ++y)
            if (again.GetAlpha(x + written.MarginX(), y + written.MarginY()) != matte.GetAlpha(x, y))
                std::abort();
    return 0;
}
