// orvane-paste: pastes an object of the object library into a picture,
// without a window, exactly as the paste tool commits a paste.
//
//   orvane-paste PICTURE ENTRY --rect L,T,R,B [--angle DEG] [--flip-x]
//                [--flip-y] [--filter 0..6] --out FILE
//
// ENTRY is an entry's path without extension (lib/000001: lib/000001.jpg,
// .alp and .tmb) or an entry's name (000001) in the user's object library.
// The object is stretched into the rectangle L, T, R, B (right and bottom
// exclusive; it may reach outside the picture), turned clockwise by DEG
// degrees about its centre and mirrored as asked, and sampled with the
// filter (2, Hermite, by default; 0 is the nearest pixel).  Exit status: 0
// done, 1 an unreadable picture or entry, a bad option, an empty rectangle
// or a failed write (nothing is written then).
#include "CommandLine.h"
#include "Files.h"
#include "KvLocalizer.h"
#include "KvObjectLibrary.h"
#include "KvPictureLoader.h"
#include "PasteRender.h"

#include <QCoreApplication>
#include <QImageReader>
#include <climits>

#include <filesystem>

namespace {

constexpr const char* Program = "orvane-paste";
constexpr int kExitBadInput = 1;

void Report(const QString& message)
{
    ReportError(Program, message);
}

struct TOptions {
    QString picture;
    QString entry;
    TRect rect;
    int angle = 0;
    bool flipX = false;
    bool flipY = false;
    int filter = pfHermite;
    QString out;
};

// Four whole numbers separated by commas; the rectangle must not be empty.
std::optional<TRect> ParseRect(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        const std::optional<int> value = ParseInt(parts[i].trimmed(), INT_MIN / 2, INT_MAX / 2);
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    const TRect rect{values[0], values[1], values[2], values[3]};
    return rect.IsEmpty() ? std::nullopt : std::optional<TRect>(rect);
}

// Any whole number of degrees, brought into 0..359.
std::optional<int> ParseAngle(const QString& text)
{
    bool ok = false;
    const long long degrees = text.toLongLong(&ok);
    return ok ? std::optional<int>(NormalizedRotation(degrees)) : std::nullopt;
}

std::optional<TOptions> ParseOptions(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    const QCommandLineOption rect(QStringLiteral("rect"), QString(), QStringLiteral("L,T,R,B"));
    const QCommandLineOption angle(QStringLiteral("angle"), QString(), QStringLiteral("DEG"));
    const QCommandLineOption flipX(QStringLiteral("flip-x"));
    const QCommandLineOption flipY(QStringLiteral("flip-y"));
    const QCommandLineOption filter(QStringLiteral("filter"), QString(), QStringLiteral("0..6"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FILE"));
    parser.addOptions({rect, angle, flipX, flipY, filter, out});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        error = QStringLiteral("expected a picture and an entry, got %1 arguments").arg(positional.size());
        return std::nullopt;
    }
    TOptions options;
    options.picture = positional[0];
    options.entry = positional[1];
    options.flipX = parser.isSet(flipX);
    options.flipY = parser.isSet(flipY);
    options.out = parser.value(out);
    if (!parser.isSet(rect)) {
        error = QStringLiteral("--rect L,T,R,B is required");
        return std::nullopt;
    }
    if (options.out.isEmpty()) {
        error = QStringLiteral("--out FILE is required");
        return std::nullopt;
    }
    const auto filterIndex = [](const QString& text) { return ParseInt(text, 0, PasteFilterCount - 1); };
    if (!ReadOption(parser, rect, ParseRect, "four whole numbers L,T,R,B with L < R and T < B", options.rect, error)
        || !ReadOption(parser, angle, ParseAngle, "a whole number of degrees", options.angle, error)
        || !ReadOption(parser, filter, filterIndex, "a filter from 0 to 6", options.filter, error))
        return std::nullopt;
    return options;
}

// The entry's folder and name: a path names its folder, a bare name is
// looked up in the user's library.
void LocateEntry(const QString& entry, std::filesystem::path& folder, std::string& name)
{
    const std::filesystem::path path(entry.toStdString());
    if (path.has_parent_path()) {
        folder = path.parent_path();
        name = path.filename().string();
    } else {
        folder = ObjectLibraryFolder();
        name = entry.toStdString();
    }
}

int Run(const TOptions& options)
{
    TKvLTBitmap picture;
    TKvPictureLoad load;
    if (!LoadUprightPicture(options.picture, picture, load)) {
        Report(LocalFormat(1030, {options.picture}, QStringLiteral("Cannot open %s.")));
        return kExitBadInput;
    }
    std::filesystem::path folder;
    std::string name;
    LocateEntry(options.entry, folder, name);
    TBGRWithAlpha object;
    if (!IsObjectName(name) || !object.LoadObject(folder, name)) {
        Report(QStringLiteral("cannot read the object library entry %1 (its .jpg, .alp and .tmb files in %2)")
                   .arg(QString::fromStdString(name), QString::fromStdString(folder.string())));
        return kExitBadInput;
    }
    RenderPaste(picture.Pixels(), object, {options.rect, options.angle, options.flipX, options.flipY}, options.filter);
    TKvOutputFiles outputs;
    if (!AddPicture(outputs, options.out, picture, load.Metadata) || !outputs.Commit()) {
        Report(outputs.Error());
        return kExitBadInput;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QImageReader::setAllocationLimit(0); // 24-megapixel photographs exceed the default limit
    SetGlobalLocalizer(std::make_unique<TKvLocalizer>());
    QString error;
    const std::optional<TOptions> options = ParseOptions(QCoreApplication::arguments(), error);
    if (!options) {
        Report(error);
        std::fputs("usage: orvane-paste PICTURE ENTRY --rect L,T,R,B [--angle DEG] [--flip-x] [--flip-y]\n"
                   "                    [--filter 0..6] --out FILE\n",
                   stderr);
        return kExitBadInput;
    }
    try {
        return Run(*options);
    } catch (const std::exception& e) {
        Report(QString::fromLocal8Bit(e.what()));
        return kExitBadInput;
    }
}
