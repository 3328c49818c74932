#include "SaneTestBackend.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {

// The test backend's settings (see sane-test(5)): two grey devices, a black
// 80 x 100 mm picture at 50 dpi, no simulated faults.
std::map<std::string, std::string> DefaultSettings()
{
    return {
        {"number_of_devices", "2"},
        {"mode", "Gray"},
        {"depth", "8"},
        {"hand-scanner", "false"},
        {"three-pass", "false"},
        {"three-pass-order", "RGB"},
        {"resolution_min", "1.0"},
        {"resolution_max", "1200.0"},
        {"resolution_quant", "1.0"},
        {"resolution", "50.0"},
        {"test-picture", "\"Solid black\""},
        {"invert-endianess", "false"},
        {"read-limit", "false"},
        {"read-limit-size", "1"},
        {"read-delay", "false"},
        {"read-delay-duration", "1000"},
        {"read-status-code", "\"Default\""},
        {"fuzzy-parameters", "false"},
        {"ppl-loss", "0"},
        {"non-blocking", "false"},
        {"select-fd", "false"},
        {"enable-test-options", "false"},
        {"geometry_min", "0.0"},
        {"geometry_max", "200.0"},
        {"geometry_quant", "1.0"},
        {"tl_x", "0.0"},
        {"tl_y", "0.0"},
        {"br_x", "80.0"},
        {"br_y", "100.0"},
    };
}

// The process's configuration folder, removed when the process ends.
struct TConfigFolder {
    std::filesystem::path path;

    TConfigFolder()
    {
        // mkdtemp puts a unique part where the pattern ends in six X.
        const std::string pattern =
            (std::filesystem::temp_directory_path() / ("orvane-sane-" + std::string(6, 'X'))).string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data()))
            throw std::runtime_error("cannot create a folder for the scanner configuration");
        path = name.data();
        // Without a trailing colon the library reads this folder alone.
        setenv("SANE_CONFIG_DIR", path.c_str(), 1);
    }
    ~TConfigFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// The test backend's reader thread leaks its buffer when a scan is
// cancelled (the thread is cancelled before it frees it), and the library
// unloads the backend when it exits, so the leak checker of the sanitizer
// build could not say whose memory it was. Kept loaded for the life of the
// process, the backend is named in the report and its leak is suppressed
// there by name (tools/sanitizer/lsan.supp).
void KeepTestBackendLoaded()
{
    static const bool kept = [] {
        void* library = dlopen("libsane.so.1", RTLD_LAZY | RTLD_NOLOAD);
        char folder[4096] = {};
        const bool found = library && dlinfo(library, RTLD_DI_ORIGIN, folder) == 0;
        if (library)
            dlclose(library);
        if (!found)
            return false;
        const std::string backend = std::string(folder) + "/sane/libsane-test.so.1";
        return dlopen(backend.c_str(), RTLD_LAZY | RTLD_NODELETE) != nullptr;
    }();
    (void)kept;
}

} // namespace

const std::filesystem::path& TSaneTestBackend::Folder()
{
    static const TConfigFolder folder;
    return folder.path;
}

TSaneTestBackend::TSaneTestBackend(const std::map<std::string, std::string>& settings)
    : TSaneTestBackend(settings, "test\n")
{
}

std::unique_ptr<TSaneTestBackend> TSaneTestBackend::WithoutScanners()
{
    return std::unique_ptr<TSaneTestBackend>(new TSaneTestBackend({}, ""));
}

std::unique_ptr<TSaneTestBackend> TSaneTestBackend::WithFaultyScanner(const std::string& fault)
{
    const char* folder = std::getenv("ORVANE_FAKE_SANE_DIR");
    if (!folder)
        throw std::runtime_error("ORVANE_FAKE_SANE_DIR does not name the fake scanner backend's folder");
    // The library looks for backends in LD_LIBRARY_PATH when it loads them.
    setenv("LD_LIBRARY_PATH", folder, 1);
    setenv("ORVANE_FAKE_SCANNER", fault.c_str(), 1);
    return std::unique_ptr<TSaneTestBackend>(new TSaneTestBackend({}, "orvanefake\n"));
}

TSaneTestBackend::TSaneTestBackend(const std::map<std::string, std::string>& settings,
                                   const std::string& backends)
{
    KeepTestBackendLoaded();
    std::ofstream(Folder() / "dll.conf") << backends;
    auto all = DefaultSettings();
    for (const auto& [key, value] : settings)
        all[key] = value;
    std::ofstream conf(Folder() / "test.conf");
    for (const auto& [key, value] : all)
        conf << key << ' ' << value << '\n';
}
