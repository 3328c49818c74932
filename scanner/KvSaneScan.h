#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>

class TKvSaneImageAssembler;

// How one scan ended.
enum class TKvScanOutcome {
    Done,
    Cancelled,
    OpenFailed,
    StartFailed,
    TransferFailed,
    Incomplete,
    UnsupportedFormat,
};

struct TKvScanResult {
    TKvScanOutcome outcome = TKvScanOutcome::Done;
    int status = 0;  // the scanner library's status when it reported a failure
};

// Scans one picture from the named scanner into the assembler: opens the
// device (in colour when it offers colour), reads every frame, and closes the
// device again. Progress receives the percentage whenever it changes; the scan
// stops at the next chunk once cancelRequested is set. Blocks until done.
TKvScanResult RunSaneScan(const QByteArray& deviceName, TKvSaneImageAssembler& image,
                          const std::atomic<bool>& cancelRequested,
                          const std::function<void(int)>& progress);
