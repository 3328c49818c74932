#include "KvSaneScan.h"

#include "KvSaneFrames.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Statuses are kept as numbers: a backend may answer one the header does
// not name, which is no value of SANE_Status.

// An open scanner, closed when it goes out of scope; an unfinished scan is
// cancelled first, as the library requires.
class TKvSaneDevice
{
public:
    explicit TKvSaneDevice(const QByteArray& name)
        : m_status(sane_open(name.constData(), &m_handle))
    {
        if (m_status != SANE_STATUS_GOOD)
            m_handle = nullptr;
    }
    ~TKvSaneDevice()
    {
        if (!m_handle)
            return;
        sane_cancel(m_handle);
        sane_close(m_handle);
    }
    TKvSaneDevice(const TKvSaneDevice&) = delete;
    TKvSaneDevice& operator=(const TKvSaneDevice&) = delete;

    SANE_Handle Handle() const { return m_handle; }
    int OpenStatus() const { return m_status; }

private:
    SANE_Handle m_handle = nullptr;
    int m_status;
};

// A photo editor wants colour: switch the scan mode to colour when the device
// offers it, and leave every other setting at the device's defaults.
void PreferColourMode(SANE_Handle handle)
{
    for (SANE_Int option = 1;; ++option) {
        const SANE_Option_Descriptor* descriptor = sane_get_option_descriptor(handle, option);
        if (!descriptor)
            return;
        if (!descriptor->name || std::strcmp(descriptor->name, SANE_NAME_SCAN_MODE) != 0)
            continue;
        if (descriptor->type != SANE_TYPE_STRING || !SANE_OPTION_IS_SETTABLE(descriptor->cap)
            || !SANE_OPTION_IS_ACTIVE(descriptor->cap)
            || descriptor->constraint_type != SANE_CONSTRAINT_STRING_LIST)
            return;
        for (const SANE_String_Const* mode = descriptor->constraint.string_list; *mode; ++mode) {
            if (std::strcmp(*mode, SANE_VALUE_SCAN_MODE_COLOR) != 0)
                continue;
            std::vector<char> value(std::size_t(std::max<SANE_Int>(descriptor->size, 16)), '\0');
            std::strncpy(value.data(), *mode, value.size() - 1);
            sane_control_option(handle, option, SANE_ACTION_SET_VALUE, value.data(), nullptr);
            return;
        }
        return;
    }
}

TKvScanResult Failure(TKvScanOutcome outcome, int status = SANE_STATUS_GOOD)
{
    return {outcome, status};
}

// Reads the current frame to its end.
TKvScanResult ReadFrame(SANE_Handle handle, TKvSaneImageAssembler& image,
                        const std::atomic<bool>& cancelRequested,
                        const std::function<void(int)>& progress, int& lastPercent)
{
    std::vector<SANE_Byte> buffer(64 * 1024);
    for (;;) {
        if (cancelRequested)
            return Failure(TKvScanOutcome::Cancelled);
        SANE_Int length = 0;
        const int status = sane_read(handle, buffer.data(), SANE_Int(buffer.size()), &length);
        if (status == SANE_STATUS_EOF)
            return {};
        if (status == SANE_STATUS_CANCELLED)
            return Failure(TKvScanOutcome::Cancelled);
        if (status != SANE_STATUS_GOOD)
            return Failure(TKvScanOutcome::TransferFailed, status);
        image.Append(buffer.data(), std::size_t(length));
        const int percent = image.Percent();
        if (percent != lastPercent && percent >= 0) {
            lastPercent = percent;
            progress(percent);
        }
    }
}

} // namespace

TKvScanResult RunSaneScan(const QByteArray& deviceName, TKvSaneImageAssembler& image,
                          const std::atomic<bool>& cancelRequested,
                          const std::function<void(int)>& progress)
{
    TKvSaneDevice device(deviceName);
    if (!device.Handle())
        return Failure(TKvScanOutcome::OpenFailed, device.OpenStatus());
    PreferColourMode(device.Handle());

    int lastPercent = -1;
    for (bool first = true;; first = false) {
        if (cancelRequested)
            return Failure(TKvScanOutcome::Cancelled);
        const int started = sane_start(device.Handle());
        if (started == SANE_STATUS_CANCELLED)
            return Failure(TKvScanOutcome::Cancelled);
        if (started != SANE_STATUS_GOOD)
            return Failure(first ? TKvScanOutcome::StartFailed : TKvScanOutcome::TransferFailed, started);
        SANE_Parameters parameters{};
        const int described = sane_get_parameters(device.Handle(), &parameters);
        if (described != SANE_STATUS_GOOD)
            return Failure(TKvScanOutcome::TransferFailed, described);
        if (!image.BeginFrame(parameters))
            return Failure(TKvScanOutcome::UnsupportedFormat);
        const TKvScanResult frame = ReadFrame(device.Handle(), image, cancelRequested, progress, lastPercent);
        if (frame.outcome != TKvScanOutcome::Done)
            return frame;
        if (!image.FrameComplete())
            return Failure(TKvScanOutcome::Incomplete);
        if (parameters.last_frame)
            return {};
    }
}
