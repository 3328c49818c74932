// Feeds arbitrary bytes to the exchange-file reader: header checks, the copy
// of the rows, and for files that read, a write and a second read that must
// give the same pixels back.
#include "KvExchangeFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool ReadPicture(const std::uint8_t* data, std::size_t size, TKvPixelBuffer& picture)
{
    TExchangeFileHeader header;
    if (ReadExchangeHeader(data, size, 1 << 20, header) != TExchangeFileCheck::Valid)
        return false;
    if (!picture.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, header.Width, header.Height)))
        std::abort(); // the limit keeps every accepted picture small enough
    CopyExchangePixels(data, header, picture);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TKvPixelBuffer picture;
    if (!ReadPicture(data, size, picture))
        return 0;
    const std::vector<std::uint8_t> written = WriteExchangeFile(picture);
    TKvPixelBuffer again;
    if (!ReadPicture(written.data(), written.size(), again) || again.Width != picture.Width
        || again.Height != picture.Height
        || std::memcmp(again.Data, picture.Data, std::size_t(picture.Stride) * std::size_t(picture.Height)) != 0)
        std::abort();
    return 0;
}
