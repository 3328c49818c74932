#include "Files.h"

#include "ThumbnailList.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t NameLength = 6;
constexpr int LastNumber = 999999;
constexpr std::array<std::string_view, 3> EntryExtensions = {".alp", ".jpg", ".tmb"};

// The entry number of an entry file's name ("000012.alp" gives 12), or -1.
int EntryNumberOf(std::string_view fileName)
{
    if (fileName.size() != NameLength + 4)
        return -1;
    const std::string_view extension = fileName.substr(NameLength);
    if (std::find(EntryExtensions.begin(), EntryExtensions.end(), extension) == EntryExtensions.end())
        return -1;
    const std::string_view name = fileName.substr(0, NameLength);
    if (!IsObjectName(name))
        return -1;
    int number = 0;
    for (const char digit : name)
        number = number * 10 + (digit - '0');
    return number;
}

// number (0..999999) as six digits.
std::string NameOfNumber(int number)
{
    const std::string digits = std::to_string(number);
    return std::string(NameLength - std::min(digits.size(), NameLength), '0') + digits;
}

std::string ErrorText(const std::string& what, const fs::path& path, int error)
{
    return what + " " + path.string() + ": " + std::generic_category().message(error);
}

// A file descriptor closed with its owner.
class TFileHandle {
public:
    explicit TFileHandle(int fd)
        : m_fd(fd)
    {
    }
    ~TFileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    int Get() const { return m_fd; }
    // Closes now; false (errno set) when the close reports an error.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += std::size_t(n);
    }
    return true;
}

// Renames from to to unless to exists; false (errno EEXIST) when it does.
bool RenameNoReplace(const fs::path& from, const fs::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link fails on an existing name
    // as well.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

// Writes one new entry's files, each under a temporary name first, and
// removes whatever it placed when the entry cannot be completed.
class TEntryWriter {
public:
    // name is reserved: its .alp exists and counts as placed.
    TEntryWriter(const fs::path& folder, std::string name)
        : m_folder(folder)
        , m_name(std::move(name))
        , m_placed{File(".alp")}
    {
    }
    ~TEntryWriter()
    {
        if (!m_complete)
            RemovePlaced();
    }

    // Writes bytes as the entry's file with the extension.  The reserved .alp
    // is replaced; any other file must not exist yet.
    bool Place(std::string_view extension, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path target = File(extension);
        const fs::path temporary = WriteTemporary(extension, bytes);
        if (temporary.empty())
            return false;
        const bool replace = extension == ".alp";
        const bool renamed = replace ? ::rename(temporary.c_str(), target.c_str()) == 0
                                     : RenameNoReplace(temporary, target);
        if (!renamed) {
            const int error = errno;
            ::unlink(temporary.c_str());
            return Fail("cannot write", target, error);
        }
        if (!replace)
            m_placed.push_back(target);
        return true;
    }

    void Complete() { m_complete = true; }
    const std::string& Error() const { return m_error; }

private:
    fs::path File(std::string_view extension) const { return EntryFile(m_folder, m_name, extension); }

    // The bytes in a new hidden file of a name no one else has; empty when
    // that fails.
    fs::path WriteTemporary(std::string_view extension, const std::vector<std::uint8_t>& bytes)
    {
        std::string name = (m_folder / ("." + m_name + std::string(extension) + ".XXXXXX")).native();
        TFileHandle file(::mkostemp(name.data(), O_CLOEXEC));
        if (file.Get() < 0) {
            Fail("cannot create a file in", m_folder, errno);
            return {};
        }
        // On the disk before its name is: after a crash the entry's name
        // shows a whole file or nothing.
        if (!WriteAll(file.Get(), bytes) || ::fdatasync(file.Get()) != 0 || !file.Close()) {
            const int error = errno;
            ::unlink(name.c_str());
            Fail("cannot write", name, error);
            return {};
        }
        return name;
    }

    bool Fail(const char* what, const fs::path& path, int error)
    {
        m_error = ErrorText(what, path, error);
        return false;
    }

    // The .tmb goes first, so the entry stops being listed at once.
    void RemovePlaced()
    {
        for (auto file = m_placed.rbegin(); file != m_placed.rend(); ++file)
            ::unlink(file->c_str());
    }

    fs::path m_folder;
    std::string m_name;
    std::vector<fs::path> m_placed; // in the order placed
    std::string m_error;
    bool m_complete = false;
};

// Creates NAME.alp exclusively for the first free name from the next one
// up; empty when none is left (LibraryFull) or on an error (error set).
std::string ReserveName(const fs::path& folder, bool& full, std::string& error)
{
    const std::string next = NextObjectName(folder);
    for (int number = next.empty() ? LastNumber + 1 : std::stoi(next); number <= LastNumber; ++number) {
        const std::string name = NameOfNumber(number);
        const fs::path alp = EntryFile(folder, name, ".alp");
        TFileHandle file(::open(alp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (file.Get() >= 0)
            return name;
        if (errno != EEXIST) {
            error = ErrorText("cannot create", alp, errno);
            return {};
        }
        // Another program took the name since the folder was listed.
    }
    full = true;
    return {};
}

} // namespace

bool IsObjectName(std::string_view name)
{
    return name.size() == NameLength
        && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

fs::path EntryFile(const fs::path& folder, std::string_view name, std::string_view extension)
{
    return folder / (std::string(name) + std::string(extension));
}

std::string LastObjectName(const fs::path& folder)
{
    int last = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        last = std::max(last, EntryNumberOf(it->path().filename().native()));
    return NameOfNumber(last);
}

std::string NextObjectName(const fs::path& folder)
{
    const int next = std::stoi(LastObjectName(folder)) + 1;
    return next <= LastNumber ? NameOfNumber(next) : std::string();
}

std::vector<std::string> ListEntryNames(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string fileName = it->path().filename().native();
        std::error_code typeError;
        if (EntryNumberOf(fileName) >= 0 && fileName.ends_with(".tmb") && it->is_regular_file(typeError))
            names.push_back(fileName.substr(0, NameLength));
    }
    std::sort(names.begin(), names.end());
    return names;
}

void LoadLibraryList(TThumbnailList& list)
{
    list.Clear();
    for (const std::string& name : ListEntryNames(list.Folder()))
        list.Add(name);
}

bool DeleteObjectFiles(const fs::path& folder, std::string_view name)
{
    if (!IsObjectName(name))
        return false;
    bool removedAll = true;
    for (const std::string_view extension : {".tmb", ".alp", ".jpg"}) {
        const fs::path file = EntryFile(folder, name, extension);
        struct stat status {};
        if (::lstat(file.c_str(), &status) != 0 || S_ISDIR(status.st_mode))
            continue;
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            removedAll = false;
            if (extension == ".tmb")
                return false; // still listed: keep it whole
        }
    }
    return removedAll;
}

bool ReadEntryFile(const fs::path& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    TFileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0
        || std::uint64_t(status.st_size) > maxBytes)
        return false;
    // One byte more than the size tells a file that grew meanwhile.
    bytes.resize(std::size_t(status.st_size) + 1);
    std::size_t read = 0;
    while (read < bytes.size()) {
        const ssize_t n = ::read(file.Get(), bytes.data() + read, bytes.size() - read);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        read += std::size_t(n);
    }
    if (read != std::size_t(status.st_size)) {
        bytes.clear();
        return false;
    }
    bytes.resize(read);
    return true;
}

TEntryWriteResult WriteObjectEntry(const fs::path& folder, const TObjectEntryFiles& files)
{
    TEntryWriteResult result;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        result.Error = ErrorText("cannot create", folder, error.value());
        return result;
    }
    bool full = false;
    const std::string name = ReserveName(folder, full, result.Error);
    if (name.empty()) {
        result.Status = full ? TEntryWriteResult::LibraryFull : TEntryWriteResult::Failed;
        return result;
    }
    TEntryWriter writer(folder, name);
    if (!writer.Place(".jpg", files.Jpeg) || !writer.Place(".alp", files.Alp) || !writer.Place(".tmb", files.Tmb)) {
        result.Error = writer.Error();
        return result;
    }
    writer.Complete();
    result.Status = TEntryWriteResult::Written;
    result.Name = name;
    return result;
}
