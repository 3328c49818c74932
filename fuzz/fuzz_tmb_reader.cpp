// Feeds arbitrary bytes to the object library's thumbnail reader.  A
// thumbnail that reads must give exactly the same bytes when written again;
// one that does not must be black.
#include "Thumbnail.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TThumbnail thumbnail = TThumbnail::FromBytes(data, size);
    if (!thumbnail.IsValid()) {
        for (int x = -1; x <= thumbnail.Width(); ++x)
            for (int y = -1; y <= thumbnail.Height(); ++y)
                if (!(thumbnail.GetPixel(x, y) == TColorTriple{}))
                    std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> written = thumbnail.FileBytes();
    if (written.size() != size || !std::equal(written.begin(), written.end(), data))
        std::abort();
    return 0;
}
