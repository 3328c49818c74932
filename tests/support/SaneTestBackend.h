#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

// Points the scanner library at its virtual test scanners only: a
// configuration folder that loads the "test" backend alone (the default
// backends probe the network) and describes its devices. Create it before the
// scanner library is initialised.
//
// The library reads the folder's name once per process, but the files in it
// at every initialisation: so the folder is the process's (removed when it
// ends), and each object writes its files anew.
class TSaneTestBackend
{
public:
    // The test devices scan a 80 x 100 mm area at 50 dpi: 157 x 196 pixels.
    static constexpr int ScanWidth = 157;
    static constexpr int ScanHeight = 196;

    // Settings of the test backend's configuration file (its key, then the
    // value as written there) that replace or add to the defaults here.
    explicit TSaneTestBackend(const std::map<std::string, std::string>& settings = {});
    TSaneTestBackend(const TSaneTestBackend&) = delete;
    TSaneTestBackend& operator=(const TSaneTestBackend&) = delete;

    // No backend at all: the library finds no scanner. (The test backend
    // itself cannot be told to offer none: it crashes on zero devices.)
    static std::unique_ptr<TSaneTestBackend> WithoutScanners();

    // Instead of the test backend, the scanner "orvanefake:0" (24 x 10 grey
    // pixels) that fails as the fault says: "<stage> <status> [<lines>]" with
    // stage "open", "start" or "read" (after that many lines) and the
    // library's status number (see tests/fake_sane).
    static std::unique_ptr<TSaneTestBackend> WithFaultyScanner(const std::string& fault);

    static const std::filesystem::path& Folder();

private:
    TSaneTestBackend(const std::map<std::string, std::string>& settings, const std::string& backends);
};
