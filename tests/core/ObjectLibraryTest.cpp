// The object library on disk: entry names, writing an entry whole, listing,
// deleting, thumbnails, and loading an entry back, with broken and hostile
// entries among sound ones.
#include "BGRAlpha.h"
#include "DeflateFixture.h"
#include "FileSizeLimit.h"
#include "Files.h"
#include "JpegEncode.h"
#include "JpegFixtures.h"
#include "SmallFileSystem.h"
#include "ThumbnailList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path) { WriteFileBytes(path, {}); }

// The names in a folder, sorted.
std::vector<std::string> FolderContents(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A file made immutable with chattr for the object's life (root may remove
// any file a permission forbids); Active() is false where the file system or
// the tool does not allow it.
class TImmutableFile {
public:
    explicit TImmutableFile(fs::path path)
        : m_path(std::move(path))
        , m_active(std::system(("chattr +i '" + m_path.string() + "' 2>/dev/null").c_str()) == 0)
    {
    }
    ~TImmutableFile()
    {
        if (m_active)
            [[maybe_unused]] int ignored = std::system(("chattr -i '" + m_path.string() + "'").c_str());
    }
    bool Active() const { return m_active; }

private:
    fs::path m_path;
    bool m_active;
};

// A sound entry: a width x height picture, its matte (opaque inside a
// one-pixel transparent border) and a thumbnail.
struct SoundEntry {
    TKvPixelBuffer picture;
    TAlphaChanal matte;
    TObjectEntryFiles files;

    SoundEntry(int width = 12, int height = 8, unsigned seed = 1)
        : picture(MakeTestPicture(width, height, seed))
    {
        matte.SetSize(width, height);
        for (int x = 1; x + 1 < width; ++x)
            for (int y = 1; y + 1 < height; ++y)
                matte.SetAlpha(x, y, 255);
        EXPECT_TRUE(EncodeJpegAtQuality(picture, 100, files.Jpeg));
        files.Alp = CompressMatte(matte);
        TThumbnail thumbnail(TThumbnail::StandardSize, TThumbnail::StandardSize);
        thumbnail.FillChecker();
        thumbnail.SetPixel(0, 0, {1, 2, std::uint8_t(seed)});
        files.Tmb = thumbnail.FileBytes();
    }

    void WriteAs(const fs::path& folder, const std::string& name) const
    {
        WriteFileBytes(EntryFile(folder, name, ".jpg"), files.Jpeg);
        WriteFileBytes(EntryFile(folder, name, ".alp"), files.Alp);
        WriteFileBytes(EntryFile(folder, name, ".tmb"), files.Tmb);
    }
};

// ---------------------------------------------------------------------------
// Names

TEST(ObjectNames, OnlySixDigitsMakeAName)
{
    for (const char* name : {"000000", "000001", "123456", "999999"})
        EXPECT_TRUE(IsObjectName(name)) << name;
    for (const char* name : {"", "00001", "0000001", "00000a", "-00001", "00001 ", "０00001"})
        EXPECT_FALSE(IsObjectName(name)) << name;
}

TEST(ObjectNames, TheNextNameIsOneAboveTheHighestOfAnyEntryFile)
{
    struct Case {
        std::vector<std::string> files;
        const char* last;
        const char* next;
    };
    const Case cases[] = {
        {{}, "000000", "000001"},
        {{"000009.alp"}, "000009", "000010"},
        {{"000001.alp", "000005.alp"}, "000005", "000006"},
        {{"000002.alp", "000003.tmb"}, "000003", "000004"},
        {{"000002.alp", "000007.jpg"}, "000007", "000008"},
        // Names of other shapes are no entries and do not count.
        {{"000002.alp", "0000010.alp", "00001a.alp", "000012.ALP", "000013.alp.part", ".000014.alp.part",
          "000015.txt", "abcdef.tmb", "000016"},
         "000002", "000003"},
        {{"999998.tmb", "999999.alp"}, "999999", ""},
    };
    for (const Case& c : cases) {
        TTemporaryFolder folder;
        for (const std::string& file : c.files)
            Touch(folder / file);
        EXPECT_EQ(LastObjectName(folder.GetPath()), c.last) << c.files.size();
        EXPECT_EQ(NextObjectName(folder.GetPath()), c.next) << c.files.size();
    }
    TTemporaryFolder folder;
    EXPECT_EQ(NextObjectName(folder / "missing"), "000001");
    // A directory named like an entry's file takes its name.
    fs::create_directory(folder / "000020.alp");
    EXPECT_EQ(NextObjectName(folder.GetPath()), "000021");
}

// ---------------------------------------------------------------------------
// Writing

TEST(WriteObjectEntry, WritesTheThreeFilesAsTheNextEntryCreatingTheFolder)
{
    TTemporaryFolder root;
    const fs::path folder = root / "share/orvane/library";
    const SoundEntry entry;
    const TEntryWriteResult first = WriteObjectEntry(folder, entry.files);
    ASSERT_EQ(first.Status, TEntryWriteResult::Written) << first.Error;
    EXPECT_EQ(first.Name, "000001");
    EXPECT_EQ(ReadFileBytes(folder / "000001.jpg"), entry.files.Jpeg);
    EXPECT_EQ(ReadFileBytes(folder / "000001.alp"), entry.files.Alp);
    EXPECT_EQ(ReadFileBytes(folder / "000001.tmb"), entry.files.Tmb);

    const TEntryWriteResult second = WriteObjectEntry(folder, entry.files);
    EXPECT_EQ(second.Name, "000002");
    EXPECT_EQ(FolderContents(folder), (std::vector<std::string>{"000001.alp", "000001.jpg", "000001.tmb",
                                                                "000002.alp", "000002.jpg", "000002.tmb"}));
}

TEST(WriteObjectEntry, NeverTouchesExistingEntries)
{
    TTemporaryFolder folder;
    const SoundEntry old(5, 5, 7);
    old.WriteAs(folder.GetPath(), "000004");
    Touch(folder / "000006.jpg"); // a stray file of an entry half gone
    const SoundEntry entry;
    const TEntryWriteResult result = WriteObjectEntry(folder.GetPath(), entry.files);
    EXPECT_EQ(result.Name, "000007");
    EXPECT_EQ(ReadFileBytes(folder / "000004.tmb"), old.files.Tmb);
    EXPECT_EQ(ReadFileBytes(folder / "000004.alp"), old.files.Alp);
    EXPECT_TRUE(ReadFileBytes(folder / "000006.jpg").empty());
}

TEST(WriteObjectEntry, RefusesAfterTheLastSixDigitName)
{
    TTemporaryFolder folder;
    Touch(folder / "999999.tmb");
    const TEntryWriteResult result = WriteObjectEntry(folder.GetPath(), SoundEntry().files);
    EXPECT_EQ(result.Status, TEntryWriteResult::LibraryFull);
    EXPECT_EQ(FolderContents(folder.GetPath()), (std::vector<std::string>{"999999.tmb"}));
}

TEST(WriteObjectEntry, AFailedWriteLeavesNothingOfTheEntry)
{
    const SoundEntry entry;
    ASSERT_LT(entry.files.Alp.size(), entry.files.Jpeg.size());
    ASSERT_LT(entry.files.Jpeg.size(), entry.files.Tmb.size());
    // No file at all, then the .jpg and the .alp but not the .tmb.
    for (const std::size_t limit : {std::size_t(0), entry.files.Jpeg.size()}) {
        TTemporaryFolder folder;
        SoundEntry().WriteAs(folder.GetPath(), "000001");
        const std::vector<std::string> before = FolderContents(folder.GetPath());
        TEntryWriteResult result;
        {
            const TFileSizeLimit small(limit);
            result = WriteObjectEntry(folder.GetPath(), entry.files);
        }
        EXPECT_EQ(result.Status, TEntryWriteResult::Failed) << limit;
        EXPECT_NE(result.Error.find(folder.GetPath().string()), std::string::npos) << result.Error;
        EXPECT_EQ(FolderContents(folder.GetPath()), before) << limit;
    }
    TTemporaryFolder folder;
    Touch(folder / "plain-file");
    const TEntryWriteResult result = WriteObjectEntry(folder / "plain-file/library", entry.files);
    EXPECT_EQ(result.Status, TEntryWriteResult::Failed);
    EXPECT_FALSE(result.Error.empty());
}

// The same on a file system that is full (ENOSPC): with no room at all, and
// with room for one of the entry's files.
TEST(WriteObjectEntry, AFullFileSystemLeavesNothingOfTheEntry)
{
    TSmallFileSystem disk;
    if (!disk.Available())
        GTEST_SKIP() << disk.Reason();
    const fs::path folder = disk.Path() / "library";
    fs::create_directory(folder);
    SoundEntry().WriteAs(folder, "000001");
    const std::vector<std::string> before = FolderContents(folder);
    const SoundEntry entry;
    for (const std::size_t room : {std::size_t(0), std::size_t(1)}) {
        ASSERT_TRUE(disk.Fill(room)) << room;
        const TEntryWriteResult result = WriteObjectEntry(folder, entry.files);
        disk.Empty();
        EXPECT_EQ(result.Status, TEntryWriteResult::Failed) << room;
        EXPECT_NE(result.Error.find(folder.string()), std::string::npos) << result.Error;
        EXPECT_EQ(FolderContents(folder), before) << room;
    }
    EXPECT_EQ(WriteObjectEntry(folder, entry.files).Status, TEntryWriteResult::Written);
}

TEST(WriteObjectEntry, IgnoresThingsNamedLikeItsTemporaryFiles)
{
    TTemporaryFolder folder;
    fs::create_directory(folder / ".000001.jpg.part");
    ASSERT_EQ(mkfifo((folder / ".000001.tmb.part").c_str(), 0600), 0);
    const TEntryWriteResult result = WriteObjectEntry(folder.GetPath(), SoundEntry().files);
    EXPECT_EQ(result.Status, TEntryWriteResult::Written) << result.Error;
    EXPECT_EQ(FolderContents(folder.GetPath()).size(), 5u);
}

TEST(WriteObjectEntry, WritersAtTheSameTimeTakeDifferentNames)
{
    TTemporaryFolder folder;
    constexpr int Writers = 8;
    std::vector<SoundEntry> entries;
    for (int i = 0; i < Writers; ++i)
        entries.emplace_back(6 + i, 5, unsigned(i + 1));
    std::vector<TEntryWriteResult> results(Writers);
    std::vector<std::thread> threads;
    for (int i = 0; i < Writers; ++i)
        threads.emplace_back([&, i] { results[std::size_t(i)] = WriteObjectEntry(folder.GetPath(), entries[std::size_t(i)].files); });
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> names;
    for (int i = 0; i < Writers; ++i) {
        const TEntryWriteResult& result = results[std::size_t(i)];
        ASSERT_EQ(result.Status, TEntryWriteResult::Written) << result.Error;
        names.insert(result.Name);
        EXPECT_EQ(ReadFileBytes(EntryFile(folder.GetPath(), result.Name, ".jpg")), entries[std::size_t(i)].files.Jpeg);
        EXPECT_EQ(ReadFileBytes(EntryFile(folder.GetPath(), result.Name, ".tmb")), entries[std::size_t(i)].files.Tmb);
    }
    EXPECT_EQ(names.size(), std::size_t(Writers));
    EXPECT_EQ(FolderContents(folder.GetPath()).size(), std::size_t(3 * Writers));
}

// ---------------------------------------------------------------------------
// Thumbnails and the list

TEST(Thumbnail, StoresRedGreenBlueColumnByColumn)
{
    TThumbnail thumbnail(2, 3);
    thumbnail.SetPixel(1, 0, RGBToTriple(10, 20, 30));
    thumbnail.SetPixel(0, 2, RGBToTriple(40, 50, 60));
    thumbnail.SetPixel(5, 5, RGBToTriple(1, 1, 1)); // outside: ignored
    const std::vector<std::uint8_t> expected = {1, 2, 3, 0, 0, 0, 0, 0, 0, 40, 50, 60,
                                                10, 20, 30, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(thumbnail.FileBytes(), expected);
    const TThumbnail read = TThumbnail::FromBytes(expected.data(), expected.size());
    ASSERT_TRUE(read.IsValid());
    EXPECT_EQ(read.GetPixel(1, 0), RGBToTriple(10, 20, 30));
    EXPECT_EQ(read.GetPixel(0, 2), RGBToTriple(40, 50, 60));
}

TEST(Thumbnail, TheCheckerboardHasFourPixelSquares)
{
    TThumbnail thumbnail(TThumbnail::StandardSize, TThumbnail::StandardSize);
    thumbnail.FillChecker();
    EXPECT_EQ(thumbnail.GetPixel(3, 3), RGBToTriple(0xA9, 0xA9, 0xA9));
    EXPECT_EQ(thumbnail.GetPixel(4, 3), RGBToTriple(0xFE, 0xFF, 0xFF));
    EXPECT_EQ(thumbnail.GetPixel(4, 4), RGBToTriple(0xA9, 0xA9, 0xA9));
}

TEST(Thumbnail, BytesThatAreNoSoundThumbnailGiveABlackInvalidOne)
{
    std::vector<std::uint8_t> sound = TThumbnail(3, 2).FileBytes();
    std::fill(sound.begin() + 3, sound.end(), 200);
    const auto with = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = sound;
        bytes[at] = value;
        return bytes;
    };
    const std::vector<std::vector<std::uint8_t>> broken = {
        {},
        {1, 3},
        {1, 3, 2},
        with(0, 2),                                     // version 2
        with(0, 0),
        with(1, 0),                                     // no width
        with(2, 0),                                     // no height
        with(1, 4),                                     // 4 x 2 needs more bytes
        std::vector<std::uint8_t>(sound.begin(), sound.end() - 1),
        [&] { auto b = sound; b.push_back(0); return b; }(),
    };
    for (std::size_t i = 0; i < broken.size(); ++i) {
        const TThumbnail thumbnail = TThumbnail::FromBytes(broken[i].data(), broken[i].size());
        EXPECT_FALSE(thumbnail.IsValid()) << i;
        EXPECT_EQ(thumbnail.Width(), TThumbnail::StandardSize);
        EXPECT_EQ(thumbnail.GetPixel(0, 0), TColorTriple{}) << i;
    }
    // The largest thumbnail there is.
    std::vector<std::uint8_t> largest(TThumbnail::MaxFileBytes, 9);
    largest[0] = 1;
    largest[1] = largest[2] = 255;
    EXPECT_TRUE(TThumbnail::FromBytes(largest.data(), largest.size()).IsValid());
}

TEST(ThumbnailList, AddSelectsTheNewEntryAndDeleteKeepsTheSelectionInside)
{
    TTemporaryFolder folder;
    TThumbnailList list(folder.GetPath());
    EXPECT_EQ(list.Selected(), -1);
    for (const char* name : {"000001", "000002", "000003"})
        list.Add(name);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Selected(), 2);
    EXPECT_EQ(list.NameOf(1), "000002");
    EXPECT_EQ(list.NameOf(3), "");
    EXPECT_EQ(list.NameOf(-1), "");
    EXPECT_EQ(list.GetPixel(7, 0, 0), TColorTriple{});
    list.Delete(2);
    EXPECT_EQ(list.Selected(), 1);
    list.SetSelected(0);
    list.Delete(1);
    EXPECT_EQ(list.Selected(), 0);
    list.Delete(5);
    EXPECT_EQ(list.Count(), 1);
    list.Delete(0);
    EXPECT_EQ(list.Selected(), -1);
    list.Add("000009");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Selected(), -1);
}

TEST(LoadLibraryList, ListsTheEntriesByNameWithBrokenThumbnailsBlack)
{
    TTemporaryFolder folder;
    const SoundEntry entry;
    entry.WriteAs(folder.GetPath(), "000010");
    entry.WriteAs(folder.GetPath(), "000002");
    WriteFileBytes(folder / "000005.tmb", {1, 72, 72, 0}); // truncated
    entry.WriteAs(folder.GetPath(), "0000011");              // seven digits: no entry
    WriteFileBytes(folder / "00001x.tmb", entry.files.Tmb);
    fs::create_directory(folder / "000012.tmb");
    ASSERT_EQ(mkfifo((folder / "000013.tmb").c_str(), 0600), 0); // never opened for reading
    fs::create_symlink(folder / "000002.tmb", folder / "000014.tmb");

    TThumbnailList list(folder.GetPath());
    LoadLibraryList(list);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.NameOf(0), "000002");
    EXPECT_EQ(list.NameOf(1), "000005");
    EXPECT_EQ(list.NameOf(2), "000010");
    EXPECT_EQ(list.NameOf(3), "000014");
    EXPECT_TRUE(list.At(0).IsValid());
    EXPECT_FALSE(list.At(1).IsValid());
    EXPECT_EQ(list.GetPixel(1, 5, 5), TColorTriple{});
    EXPECT_EQ(list.GetPixel(0, 0, 0), (TColorTriple{1, 2, 1}));
    EXPECT_EQ(list.Selected(), 3);
}

// ---------------------------------------------------------------------------
// Deleting

TEST(DeleteObjectFiles, RemovesTheEntrysFilesAndOnlyThem)
{
    TTemporaryFolder folder;
    const SoundEntry entry;
    entry.WriteAs(folder.GetPath(), "000001");
    entry.WriteAs(folder.GetPath(), "000002");
    EXPECT_TRUE(DeleteObjectFiles(folder.GetPath(), "000001"));
    EXPECT_EQ(FolderContents(folder.GetPath()), (std::vector<std::string>{"000002.alp", "000002.jpg", "000002.tmb"}));
    // Half an entry, and a directory named like a file of it.
    fs::remove(folder / "000002.alp");
    fs::remove(folder / "000002.jpg");
    fs::create_directory(folder / "000002.jpg");
    EXPECT_TRUE(DeleteObjectFiles(folder.GetPath(), "000002"));
    EXPECT_EQ(FolderContents(folder.GetPath()), (std::vector<std::string>{"000002.jpg"}));
    EXPECT_FALSE(DeleteObjectFiles(folder.GetPath(), "../x"));
}

TEST(DeleteObjectFiles, AThumbnailThatCannotBeRemovedKeepsTheWholeEntry)
{
    TTemporaryFolder folder;
    const SoundEntry entry;
    entry.WriteAs(folder.GetPath(), "000003");
    const TImmutableFile locked(folder / "000003.tmb");
    if (!locked.Active())
        GTEST_SKIP() << "chattr is not available here";
    EXPECT_FALSE(DeleteObjectFiles(folder.GetPath(), "000003"));
    EXPECT_EQ(FolderContents(folder.GetPath()), (std::vector<std::string>{"000003.alp", "000003.jpg", "000003.tmb"}));
}

TEST(DeleteObjectFiles, AMatteThatCannotBeRemovedIsReported)
{
    TTemporaryFolder folder;
    SoundEntry().WriteAs(folder.GetPath(), "000003");
    const TImmutableFile locked(folder / "000003.alp");
    if (!locked.Active())
        GTEST_SKIP() << "chattr is not available here";
    EXPECT_FALSE(DeleteObjectFiles(folder.GetPath(), "000003"));
}

// ---------------------------------------------------------------------------
// Loading an entry

TEST(LoadObject, PlacesTheColoursAndTheMatteInsideTheMargins)
{
    TTemporaryFolder folder;
    SoundEntry entry(12, 8);
    entry.WriteAs(folder.GetPath(), "000001");
    TBGRWithAlpha object;
    EXPECT_TRUE(object.IsEmpty());
    ASSERT_TRUE(object.LoadObject(folder.GetPath(), "000001"));
    EXPECT_TRUE(object.Changed());
    entry.matte.ComputeMargins(); // what CompressMatte computed
    const int mx = entry.matte.MarginX();
    const int my = entry.matte.MarginY();
    EXPECT_EQ(object.Width(), 12 + 2 * mx);
    EXPECT_EQ(object.Height(), 8 + 2 * my);
    const TKvPixelBuffer decoded = DecodeJpeg(entry.files.Jpeg);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 8; ++y) {
            const std::uint8_t* expected = decoded.PixelAt(x, y);
            ASSERT_EQ(object.GetColor(x + mx, y + my), (TColorTriple{expected[0], expected[1], expected[2]}));
            ASSERT_EQ(object.GetAlpha(x + mx, y + my), entry.matte.GetAlpha(x, y));
        }
    EXPECT_EQ(object.GetColor(0, 0), TColorTriple{});
    EXPECT_EQ(object.GetAlpha(0, 0), 0);
}

// A sound entry 000001 with one of its files replaced by something else.
struct HostileCase {
    const char* why;
    std::function<void(const fs::path& folder, const SoundEntry& entry)> spoil;
};

std::string Header(int mx, int my, int w, int h)
{
    return "2\r\n" + std::to_string(mx) + "\r\n" + std::to_string(my) + "\r\n" + std::to_string(w) + "\r\n"
        + std::to_string(h) + "\r\n";
}

TEST(LoadObject, BrokenAndHostileEntriesLoadAsAnEmptyObjectAndStayAsTheyWere)
{
    const auto replace = [](const char* extension, std::function<std::vector<std::uint8_t>(const SoundEntry&)> bytes) {
        return [=](const fs::path& folder, const SoundEntry& entry) {
            WriteFileBytes(folder / (std::string("000001") + extension), bytes(entry));
        };
    };
    const auto alpText = [&](std::function<std::string()> text) {
        return replace(".alp", [=](const SoundEntry&) { return Deflate(text()); });
    };
    const auto remove = [](const char* extension) {
        return [=](const fs::path& folder, const SoundEntry&) { fs::remove(folder / (std::string("000001") + extension)); };
    };
    const auto asDirectory = [](const char* extension) {
        return [=](const fs::path& folder, const SoundEntry&) {
            fs::remove(folder / (std::string("000001") + extension));
            fs::create_directory(folder / (std::string("000001") + extension));
        };
    };
    const auto asPipe = [](const char* extension) {
        return [=](const fs::path& folder, const SoundEntry&) {
            fs::remove(folder / (std::string("000001") + extension));
            mkfifo((folder / (std::string("000001") + extension)).c_str(), 0600);
        };
    };
    const HostileCase cases[] = {
        {"no .jpg", remove(".jpg")},
        {"no .alp", remove(".alp")},
        {".jpg a directory", asDirectory(".jpg")},
        {".alp a directory", asDirectory(".alp")},
        {".jpg a pipe", asPipe(".jpg")},
        {".alp a pipe", asPipe(".alp")},
        {".alp a link to /dev/zero",
         [](const fs::path& folder, const SoundEntry&) {
             fs::remove(folder / "000001.alp");
             fs::create_symlink("/dev/zero", folder / "000001.alp");
         }},
        {".jpg of another size", replace(".jpg", [](const SoundEntry&) {
             std::vector<std::uint8_t> jpeg;
             EncodeJpegAtQuality(MakeTestPicture(12, 9), 90, jpeg);
             return jpeg;
         })},
        {".jpg garbage", replace(".jpg", [](const SoundEntry&) { return std::vector<std::uint8_t>(5000, 0x5A); })},
        {".jpg truncated", replace(".jpg", [](const SoundEntry& e) {
             return std::vector<std::uint8_t>(e.files.Jpeg.begin(), e.files.Jpeg.begin() + std::ptrdiff_t(e.files.Jpeg.size() / 2));
         })},
        {".jpg empty", replace(".jpg", [](const SoundEntry&) { return std::vector<std::uint8_t>(); })},
        {".alp truncated", replace(".alp", [](const SoundEntry& e) {
             return std::vector<std::uint8_t>(e.files.Alp.begin(), e.files.Alp.end() - 6);
         })},
        {".alp garbage", replace(".alp", [](const SoundEntry&) { return std::vector<std::uint8_t>(3000, 0xA5); })},
        {".alp empty", replace(".alp", [](const SoundEntry&) { return std::vector<std::uint8_t>(); })},
        {".alp uncompressed", replace(".alp", [](const SoundEntry&) {
             const std::string text = Header(0, 0, 12, 8);
             return std::vector<std::uint8_t>(text.begin(), text.end());
         })},
        {".alp version 3", alpText([] {
             std::string text = Header(0, 0, 12, 8);
             text[0] = '3';
             return text;
         })},
        {".alp of another size", alpText([] {
             std::string text = Header(0, 0, 11, 8);
             for (int x = 0; x < 11; ++x)
                 text += "255 255 255 255 255 255 255 255 \r\n";
             return text;
         })},
        {".alp negative margin", alpText([] { return Header(-3, 2, 12, 8); })},
        {".alp huge margins", alpText([] { return Header(100000, 100000, 12, 8); })},
        {".alp huge size", alpText([] { return Header(0, 0, 1 << 30, 1 << 30); })},
        {".alp zlib bomb of blanks", alpText([] { return Header(2, 4, 12, 8) + std::string(64u << 20, ' '); })},
        {".alp zlib bomb of samples", alpText([] {
             std::string text = Header(2, 4, 12, 8);
             for (int i = 0; i < 8000000; ++i)
                 text += "0 ";
             return text;
         })},
    };
    for (const HostileCase& c : cases) {
        TTemporaryFolder folder;
        const SoundEntry entry;
        entry.WriteAs(folder.GetPath(), "000001");
        c.spoil(folder.GetPath(), entry);
        const std::vector<std::string> before = FolderContents(folder.GetPath());

        // A sound entry loaded first: a failed load must not leave it.
        entry.WriteAs(folder.GetPath(), "000002");
        TBGRWithAlpha object;
        ASSERT_TRUE(object.LoadObject(folder.GetPath(), "000002")) << c.why;
        object.SetChanged(false);
        EXPECT_FALSE(object.LoadObject(folder.GetPath(), "000001")) << c.why;
        EXPECT_TRUE(object.IsEmpty()) << c.why;
        EXPECT_TRUE(object.Changed()) << c.why;
        EXPECT_EQ(object.Matte().Width(), 0) << c.why;

        // Listed with a black thumbnail only when the thumbnail is broken;
        // nothing in the folder changed.
        TThumbnailList list(folder.GetPath());
        LoadLibraryList(list);
        EXPECT_EQ(list.Count(), 2) << c.why;
        fs::remove(folder / "000002.jpg");
        fs::remove(folder / "000002.alp");
        fs::remove(folder / "000002.tmb");
        EXPECT_EQ(FolderContents(folder.GetPath()), before) << c.why;
    }
}

TEST(LoadObject, NamesThatAreNoEntryNamesLoadNothing)
{
    TTemporaryFolder folder;
    const SoundEntry entry;
    entry.WriteAs(folder.GetPath(), "0000001");
    entry.WriteAs(folder.GetPath(), "00000a");
    TBGRWithAlpha object;
    for (const char* name : {"", "0000001", "00000a", "../000001"}) {
        EXPECT_FALSE(object.LoadObject(folder.GetPath(), name)) << name;
        EXPECT_TRUE(object.IsEmpty());
    }
}

} // namespace
