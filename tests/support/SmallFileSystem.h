// A small file system of the test's own (a tmpfs mounted for the life of the
// object) that can be filled up, for tests of a full disk: writes there fail
// with ENOSPC, part-way through a file when some room is left, as on a real
// disk. (TFileSizeLimit gives EFBIG without needing a mount.) Mounting needs
// the superuser; elsewhere Available() is false and Reason() says why, for
// the test to skip with.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class TSmallFileSystem {
public:
    explicit TSmallFileSystem(std::size_t bytes = 1 << 20)
    {
        if (geteuid() != 0) {
            m_reason = "mounting a small file system needs the superuser";
            return;
        }
        std::string folder = (std::filesystem::temp_directory_path() / "orvane-small-fs-XXXXXX").string();
        if (!mkdtemp(folder.data())) {
            m_reason = std::string("no folder to mount on: ") + std::strerror(errno);
            return;
        }
        m_path = folder;
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
            m_reason = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
            std::filesystem::remove(m_path);
            m_path.clear();
            return;
        }
        m_mounted = true;
    }
    ~TSmallFileSystem()
    {
        if (m_mounted)
            umount2(m_path.c_str(), MNT_DETACH);
        if (!m_path.empty())
            std::filesystem::remove(m_path);
    }
    TSmallFileSystem(const TSmallFileSystem&) = delete;
    TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

    bool Available() const { return m_mounted; }
    const std::string& Reason() const { return m_reason; }
    const std::filesystem::path& Path() const { return m_path; }

    // Takes up all free space but about room bytes (whole pages) with a
    // hidden filler file; Fill(0) leaves none. False when it could not.
    bool Fill(std::size_t room = 0)
    {
        const std::string filler = (m_path / ".filler").string();
        const int file = open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (file < 0)
            return false;
        static const char page[4096] = {};
        while (write(file, page, sizeof page) > 0) {
        }
        const bool full = errno == ENOSPC;
        const off_t size = lseek(file, 0, SEEK_END);
        const off_t pages = off_t((room + sizeof page - 1) / sizeof page);
        const bool made = full && ftruncate(file, std::max<off_t>(0, size - pages * off_t(sizeof page))) == 0;
        close(file);
        return made;
    }
    // Gives the room of the filler back.
    void Empty() { std::filesystem::remove(m_path / ".filler"); }

private:
    std::filesystem::path m_path;
    std::string m_reason;
    bool m_mounted = false;
};
