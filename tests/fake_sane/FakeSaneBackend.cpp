// A backend for the scanner library with one virtual scanner that fails when
// and how a test asks. The library's own test backend can fail every read,
// but a scan cancelled right after it started can deadlock its reader thread
// (cancelled asynchronously inside malloc), so failures are simulated here.
// Built as libsane-orvanefake.so.1; the library loads it when a dll.conf
// names "orvanefake" and LD_LIBRARY_PATH holds its folder. Its device is
// "orvanefake:0".
//
// The scanner delivers a 24 x 10 pixel grey picture, one line per read. The
// environment variable ORVANE_FAKE_SCANNER, read at initialisation, makes it
// fail: "<stage> <status number> [<lines>]", where stage is "open", "start"
// or "read" (after that many lines); a read status of 5 (end of data) makes
// the picture end early.
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

constexpr int width = 24;
constexpr int height = 10;

// The entry points that answer a simulated failure return its status as a
// plain number, as a backend written in C does: a status the header does not
// name (the tests use 99) is no value of SANE_Status.
struct Fault {
    std::string stage;
    int status = SANE_STATUS_GOOD;
    int lines = 0;
};

Fault fault;
int linesSent = 0;
bool scanning = false;

SANE_Device device{"0", "Orvane", "fault simulator", "virtual device"};
const SANE_Device* devices[] = {&device, nullptr};
int handleToken;

SANE_Option_Descriptor optionCount{SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS,
                                   SANE_TYPE_INT, SANE_UNIT_NONE, sizeof(SANE_Word),
                                   SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_NONE, {nullptr}};

bool FailsAt(const char* stage)
{
    return fault.stage == stage;
}

} // namespace

extern "C" {

SANE_Status sane_orvanefake_init(SANE_Int* version, SANE_Auth_Callback)
{
    if (version)
        *version = SANE_VERSION_CODE(1, 0, 0);
    fault = {};
    if (const char* description = std::getenv("ORVANE_FAKE_SCANNER")) {
        std::istringstream in(description);
        in >> fault.stage >> fault.status >> fault.lines;
    }
    return SANE_STATUS_GOOD;
}

void sane_orvanefake_exit() {}

SANE_Status sane_orvanefake_get_devices(const SANE_Device*** list, SANE_Bool)
{
    *list = devices;
    return SANE_STATUS_GOOD;
}

int sane_orvanefake_open(SANE_String_Const name, SANE_Handle* handle)
{
    if (std::strcmp(name, device.name) != 0 && name[0] != '\0')
        return SANE_STATUS_INVAL;
    if (FailsAt("open"))
        return fault.status;
    *handle = &handleToken;
    return SANE_STATUS_GOOD;
}

void sane_orvanefake_close(SANE_Handle) {}

const SANE_Option_Descriptor* sane_orvanefake_get_option_descriptor(SANE_Handle, SANE_Int option)
{
    return option == 0 ? &optionCount : nullptr;
}

SANE_Status sane_orvanefake_control_option(SANE_Handle, SANE_Int option, SANE_Action action, void* value,
                                           SANE_Int*)
{
    if (option != 0 || action != SANE_ACTION_GET_VALUE)
        return SANE_STATUS_INVAL;
    *static_cast<SANE_Word*>(value) = 1;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_orvanefake_get_parameters(SANE_Handle, SANE_Parameters* parameters)
{
    *parameters = {SANE_FRAME_GRAY, SANE_TRUE, width, width, height, 8};
    return SANE_STATUS_GOOD;
}

int sane_orvanefake_start(SANE_Handle)
{
    if (FailsAt("start"))
        return fault.status;
    linesSent = 0;
    scanning = true;
    return SANE_STATUS_GOOD;
}

int sane_orvanefake_read(SANE_Handle, SANE_Byte* data, SANE_Int maxLength, SANE_Int* length)
{
    *length = 0;
    if (!scanning)
        return SANE_STATUS_CANCELLED;
    if (FailsAt("read") && linesSent == fault.lines)
        return fault.status;
    if (linesSent == height)
        return SANE_STATUS_EOF;
    if (maxLength < width)
        return SANE_STATUS_INVAL;
    std::memset(data, 100 + linesSent, width);
    *length = width;
    ++linesSent;
    return SANE_STATUS_GOOD;
}

void sane_orvanefake_cancel(SANE_Handle)
{
    scanning = false;
}

} // extern "C"
