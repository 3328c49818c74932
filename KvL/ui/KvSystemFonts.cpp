#include "KvSystemFonts.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace {

struct TPatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TPattern = std::unique_ptr<FcPattern, TPatternDeleter>;

} // namespace

QString MatchedFontFamily(const QString& name)
{
    TPattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>(name.toUtf8().constData())));
    if (!pattern)
        return {};
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const TPattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* family = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch || !family)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(family));
}
