#include "serial/platform/comm.h"
#include "serial/platform/comm_common.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "protocol/wide_text.h"

// The Win32 twin of comm_posix.cpp: events are Win32 events, the wait for any of them is
// WaitForMultipleObjects, and the port is a handle opened for overlapped I/O, so that a
// pending wait, read or write never holds up the thread that wants to halt it.

namespace dravolin::comm {

namespace {

using Kind = LinkError::Kind;

// How long closing waits for a pending WaitCommEvent to end once it has been told to.
constexpr DWORD kCommWaitEndMs = 2000;

// A removed USB adapter makes the handle's calls fail with one of these, and a line whose
// other end has hung up (wine's pseudo-terminal) a pending read with ERROR_BROKEN_PIPE: the
// device is gone.
bool meansDeviceGone(DWORD code) {
    return code == ERROR_ACCESS_DENIED || code == ERROR_BAD_COMMAND ||
           code == ERROR_DEVICE_REMOVED || code == ERROR_OPERATION_ABORTED ||
           code == ERROR_INVALID_HANDLE || code == ERROR_GEN_FAILURE ||
           code == ERROR_DEVICE_NOT_CONNECTED || code == ERROR_BROKEN_PIPE;
}

// The errno value the layers above know for a failed opening.
int codeForOpenFailure(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EBUSY;  // a COM port is opened exclusively: another program has it
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_REMOVED:
            return ENODEV;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

// The errno value for a failed call on an open handle.
int codeForCallFailure(DWORD code) {
    return code == ERROR_INVALID_PARAMETER ? EINVAL : EIO;
}

LinkError failure(Kind kind, const char* call, DWORD code) {
    const int errnoCode = kind == Kind::Open ? codeForOpenFailure(code) : codeForCallFailure(code);
    return LinkError{kind, errnoCode, call, windowsErrorText(code)};
}

BYTE parityOf(char parity, bool& known) {
    known = true;
    switch (parity) {
        case 'N':
            return NOPARITY;
        case 'O':
            return ODDPARITY;
        case 'E':
            return EVENPARITY;
        default:
            known = false;
            return NOPARITY;
    }
}

DWORD millisecondsOf(std::optional<std::chrono::milliseconds> timeout) {
    if (!timeout) {
        return INFINITE;
    }
    return static_cast<DWORD>(
        std::clamp<std::chrono::milliseconds::rep>(timeout->count(), 0, INFINITE - 1));
}

// The lowest-numbered of `events` that is set; -1 when none is.
int lowestSetEvent(std::span<Event* const> events) {
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i]->isSet()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool fillHandles(std::span<Event* const> events, std::array<HANDLE, kMostEvents>& handles) {
    if (!canWaitOn(events)) {
        return false;
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        handles[i] = events[i]->handle();
    }
    return true;
}

// WaitForMultipleObjects' answer as the index of an object, or -1 / kWaitTimedOut.
int waitIndex(DWORD result, std::size_t count) {
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) {
        return static_cast<int>(result - WAIT_OBJECT_0);
    }
    return result == WAIT_TIMEOUT ? kWaitTimedOut : -1;
}

// One overlapped operation's record and its event, which the system sets on completion.
class Overlapped {
public:
    Overlapped() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { rearm(); }
    ~Overlapped() {
        if (event_ != nullptr) {
            CloseHandle(event_);
        }
    }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    void rearm() {
        std::memset(&record_, 0, sizeof record_);
        record_.hEvent = event_;
    }
    OVERLAPPED* record() { return &record_; }
    HANDLE event() const { return event_; }

private:
    HANDLE event_;
    OVERLAPPED record_{};
};

class SystemPort : public Port {
public:
    SystemPort() = default;
    ~SystemPort() override { close(); }
    SystemPort(const SystemPort&) = delete;
    SystemPort& operator=(const SystemPort&) = delete;

    std::optional<LinkError> open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void handBack() override;

    std::optional<LinkError> configure(const LineTiming& line) override;
    bool purge() override;
    bool bytesWaiting(std::size_t& count) override;
    bool bytesQueuedForOutput(std::size_t& count) override;

    WaitStart beginEventWait(Event& completion) override;
    int waitForAny(std::span<Event* const> events,
                   std::optional<std::chrono::milliseconds> timeout) override;
    ReadResult read(std::size_t most, std::vector<std::uint8_t>& run,
                    const Event* abandon) override;
    WriteResult write(std::span<const std::uint8_t> bytes, const Event* abandon) override;
    bool hungUp() const override { return hungUp_; }

private:
    // The last error of the calling thread, and whether it means that the device has gone.
    LinkError noteFailure(Kind kind, const char* call);
    bool noteFailure();
    // The driver's queues; the line errors it collected since last asked are kept.
    bool queueStatus(COMSTAT& status);
    bool issueCommWait();
    bool reapCommWait(bool& finished);
    void endCommWait();
    // Waits for an overlapped operation or `abandon`; true when the operation finished.
    bool waitForOperation(Overlapped& operation, const Event* abandon);
    bool finishOperation(Overlapped& operation, DWORD& transferred);

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool heldByUs_ = false;  // the settings at open not yet put back
    bool hungUp_ = false;
    DCB settingsAtOpen_{};
    COMMTIMEOUTS timeoutsAtOpen_{};
    DWORD lineErrors_ = 0;  // parity and framing errors not yet told with a read
    Overlapped commWait_;
    DWORD firedEvents_ = 0;
    bool commWaitIssued_ = false;
    Event* armedCompletion_ = nullptr;
    Overlapped reading_;
    Overlapped writing_;
};

LinkError SystemPort::noteFailure(Kind kind, const char* call) {
    const DWORD code = GetLastError();
    if (meansDeviceGone(code)) {
        hungUp_ = true;
    }
    return failure(kind, call, code);
}

bool SystemPort::noteFailure() {
    if (meansDeviceGone(GetLastError())) {
        hungUp_ = true;
    }
    return false;
}

std::optional<LinkError> SystemPort::open(const std::string& devicePath) {
    close();
    if (devicePath.empty()) {
        return failure(Kind::Open, "CreateFile()", ERROR_FILE_NOT_FOUND);
    }
    // "COM12" alone names no device; "\\.\COM12" does, and so for every number.
    int number = 0;
    const bool bareComName = devicePath.size() > 3 && devicePath.compare(0, 3, "COM") == 0 &&
                             parseWholeNumber(std::string_view(devicePath).substr(3), number);
    const std::string path = bareComName ? defaultDevicePath(number) : devicePath;
    // No sharing: while we have the port, nobody else may open it.
    const HANDLE handle = CreateFileW(widened(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return failure(Kind::Open, "CreateFile()", GetLastError());
    }
    settingsAtOpen_ = DCB{};
    settingsAtOpen_.DCBlength = sizeof settingsAtOpen_;
    if (!GetCommState(handle, &settingsAtOpen_) || !GetCommTimeouts(handle, &timeoutsAtOpen_)) {
        CloseHandle(handle);
        // A file or another device, not a serial port.
        return LinkError{Kind::Open, ENOTTY, "GetCommState()", errorText(ENOTTY)};
    }
    handle_ = handle;
    heldByUs_ = true;
    hungUp_ = false;
    lineErrors_ = 0;
    commWaitIssued_ = false;
    armedCompletion_ = nullptr;
    return std::nullopt;
}

void SystemPort::handBack() {
    if (handle_ == INVALID_HANDLE_VALUE || !heldByUs_) {
        return;
    }
    heldByUs_ = false;
    // Output not yet sent would otherwise hold up the close at a slow speed.
    PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
    SetCommState(handle_, &settingsAtOpen_);
    SetCommTimeouts(handle_, &timeoutsAtOpen_);
}

void SystemPort::close() {
    if (handle_ == INVALID_HANDLE_VALUE) {
        return;
    }
    handBack();
    endCommWait();
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    armedCompletion_ = nullptr;
}

std::optional<LinkError> SystemPort::configure(const LineTiming& line) {
    // A read returns at once with what waits, or waits for the first byte up to the read
    // time-out: the two MAXDWORDs ask for exactly that.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kReadWaitMs;
    timeouts.WriteTotalTimeoutMultiplier = kWriteMsPerByte;
    timeouts.WriteTotalTimeoutConstant = kWriteMsMore;
    if (!SetCommTimeouts(handle_, &timeouts)) {
        return noteFailure(Kind::Configure, "SetCommTimeouts()");
    }
    if (!SetCommMask(handle_, EV_RXCHAR)) {
        return noteFailure(Kind::Configure, "SetCommMask()");
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        return noteFailure(Kind::Configure, "GetCommState()");
    }
    bool knownParity = false;
    dcb.Parity = parityOf(line.parity, knownParity);
    if (!knownParity || line.baudRate <= 0 || (line.stopBits != 1 && line.stopBits != 2)) {
        return failure(Kind::Configure, "SetCommState()", ERROR_INVALID_PARAMETER);
    }
    dcb.BaudRate = static_cast<DWORD>(line.baudRate);
    dcb.ByteSize = 8;
    dcb.StopBits = line.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    // Parity is checked; a byte that fails it is delivered as it came and the error is
    // collected by ClearCommError. Aborting on errors would make every later call fail
    // with ERROR_OPERATION_ABORTED, which means a removed adapter here.
    dcb.fParity = TRUE;
    dcb.fAbortOnError = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // No flow control of either kind; RTS held on.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(handle_, &dcb)) {
        return noteFailure(Kind::Configure, "SetCommState()");
    }
    return std::nullopt;
}

bool SystemPort::purge() {
    return PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR) ? true : noteFailure();
}

bool SystemPort::queueStatus(COMSTAT& status) {
    DWORD errors = 0;
    if (!ClearCommError(handle_, &errors, &status)) {
        return noteFailure();
    }
    // Overruns lose bytes but say nothing about the settings of the two ends.
    lineErrors_ |= errors & (CE_RXPARITY | CE_FRAME);
    return true;
}

bool SystemPort::bytesWaiting(std::size_t& count) {
    COMSTAT status{};
    const bool known = queueStatus(status);
    count = known ? status.cbInQue : 0;
    return known;
}

bool SystemPort::bytesQueuedForOutput(std::size_t& count) {
    COMSTAT status{};
    const bool known = queueStatus(status);
    count = known ? status.cbOutQue : 0;
    return known;
}

bool SystemPort::issueCommWait() {
    if (commWaitIssued_) {
        return true;  // the one issued before is still out: it serves this wait too
    }
    commWait_.rearm();
    firedEvents_ = 0;
    if (WaitCommEvent(handle_, &firedEvents_, commWait_.record())) {
        SetEvent(commWait_.event());  // done at once; the event says so like a late one
        return true;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
        commWaitIssued_ = true;
        return true;
    }
    return noteFailure();
}

bool SystemPort::reapCommWait(bool& finished) {
    finished = true;
    if (!commWaitIssued_) {
        return true;
    }
    DWORD ignored = 0;
    if (GetOverlappedResult(handle_, commWait_.record(), &ignored, FALSE)) {
        commWaitIssued_ = false;
        return true;
    }
    if (GetLastError() == ERROR_IO_INCOMPLETE) {
        finished = false;
        return true;
    }
    commWaitIssued_ = false;
    return noteFailure();
}

void SystemPort::endCommWait() {
    if (!commWaitIssued_) {
        return;
    }
    // A new event mask ends a pending WaitCommEvent; cancelling it is the second way. The
    // record must outlive the operation, so its end is waited for, within reason: a driver
    // that never ends it has the operation ended when the handle closes.
    SetCommMask(handle_, 0);
    CancelIoEx(handle_, commWait_.record());
    if (WaitForSingleObject(commWait_.event(), kCommWaitEndMs) == WAIT_OBJECT_0) {
        DWORD ignored = 0;
        GetOverlappedResult(handle_, commWait_.record(), &ignored, FALSE);
    }
    commWaitIssued_ = false;
}

WaitStart SystemPort::beginEventWait(Event& completion) {
    completion.reset();
    armedCompletion_ = nullptr;
    if (handle_ == INVALID_HANDLE_VALUE || hungUp_) {
        return WaitStart::Failed;
    }
    std::size_t waiting = 0;
    if (!bytesWaiting(waiting)) {
        hungUp_ = true;  // a port that cannot be asked cannot be watched either
        return WaitStart::Failed;
    }
    if (waiting > 0) {
        completion.set();
        return WaitStart::CompletedAtOnce;
    }
    if (!issueCommWait()) {
        hungUp_ = true;
        return WaitStart::Failed;
    }
    // A byte that came between the question and the wait sets no event of its own.
    if (bytesWaiting(waiting) && waiting > 0) {
        completion.set();
        return WaitStart::CompletedAtOnce;
    }
    armedCompletion_ = &completion;
    return WaitStart::Pending;
}

int SystemPort::waitForAny(std::span<Event* const> events,
                           std::optional<std::chrono::milliseconds> timeout) {
    if (armedCompletion_ == nullptr) {
        return timeout ? comm::waitForAny(events, *timeout) : comm::waitForAny(events);
    }
    std::array<HANDLE, kMostEvents> handles{};
    if (!fillHandles(events, handles)) {
        return -1;
    }
    const std::size_t portIndex = events.size();
    handles[portIndex] = commWait_.event();
    const DWORD limit = millisecondsOf(timeout);
    const ULONGLONG started = GetTickCount64();
    for (;;) {
        const ULONGLONG spent = GetTickCount64() - started;
        const DWORD left = limit == INFINITE ? INFINITE
                           : spent >= limit  ? 0
                                             : limit - static_cast<DWORD>(spent);
        const DWORD result =
            WaitForMultipleObjects(static_cast<DWORD>(portIndex + 1), handles.data(), FALSE, left);
        const int index = waitIndex(result, portIndex + 1);
        if (index < 0) {
            return index;  // failed, or timed out
        }
        if (static_cast<std::size_t>(index) < portIndex) {
            return index;  // the lowest set one: WaitForMultipleObjects' own rule
        }
        bool finished = false;
        if (!reapCommWait(finished)) {
            hungUp_ = true;
        } else if (!finished) {
            continue;  // the event was set but the wait has not ended: not ours yet
        }
        Event* completed = armedCompletion_;
        armedCompletion_ = nullptr;
        completed->set();
        ResetEvent(commWait_.event());
        return lowestSetEvent(events);  // -1: the port completed a wait nobody waits for
    }
}

bool SystemPort::waitForOperation(Overlapped& operation, const Event* abandon) {
    std::array<HANDLE, 2> handles{operation.event(), nullptr};
    DWORD count = 1;
    if (abandon != nullptr) {
        handles[1] = abandon->handle();
        count = 2;
    }
    const DWORD result = WaitForMultipleObjects(count, handles.data(), FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) {
        return true;
    }
    // Abandoned (or the wait broke): stop the operation and wait until it has stopped.
    CancelIoEx(handle_, operation.record());
    return false;
}

bool SystemPort::finishOperation(Overlapped& operation, DWORD& transferred) {
    transferred = 0;
    return GetOverlappedResult(handle_, operation.record(), &transferred, TRUE) != FALSE;
}

ReadResult SystemPort::read(std::size_t most, std::vector<std::uint8_t>& run,
                            const Event* abandon) {
    ReadResult result;
    if (most == 0) {
        return result;
    }
    const std::size_t before = run.size();
    run.resize(before + std::min<std::size_t>(most, MAXDWORD));
    const auto size = static_cast<DWORD>(run.size() - before);
    DWORD got = 0;
    reading_.rearm();
    if (!ReadFile(handle_, run.data() + before, size, &got, reading_.record())) {
        if (GetLastError() != ERROR_IO_PENDING) {
            result.error = noteFailure(Kind::Read, "ReadFile()");
            got = 0;
        } else {
            const bool ended = waitForOperation(reading_, abandon);
            if (!finishOperation(reading_, got) &&
                (ended || GetLastError() != ERROR_OPERATION_ABORTED)) {
                // Not abandoned by us: bytes that came before an abandon are kept, not lost.
                result.error = noteFailure(Kind::Read, "GetOverlappedResults() in ReadFile()");
            }
        }
    }
    run.resize(before + got);
    result.count = got;
    // ClearCommError reports the errors apart from the bytes: they are told with the read
    // that follows them.
    if (lineErrors_ != 0) {
        result.lineErrors = 1;
        lineErrors_ = 0;
    }
    return result;
}

WriteResult SystemPort::write(std::span<const std::uint8_t> bytes, const Event* abandon) {
    WriteResult result;
    if (bytes.empty()) {
        return result;
    }
    writing_.rearm();
    DWORD put = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    if (!WriteFile(handle_, bytes.data(), size, &put, writing_.record())) {
        if (GetLastError() != ERROR_IO_PENDING) {
            result.error = noteFailure(Kind::Write, "WriteFile()");
            return result;
        }
        // A write that was under way and then failed or timed out is not a failure to tell.
        const bool ended = waitForOperation(writing_, abandon);
        if (!finishOperation(writing_, put)) {
            if (ended || GetLastError() != ERROR_OPERATION_ABORTED) {
                noteFailure();  // not abandoned by us
            }
            return result;
        }
        if (!ended) {
            return result;  // abandoned
        }
    }
    result.written = put;  // short: timed out
    return result;
}

}  // namespace

std::string errorText(int code) {
    const char* text = std::strerror(code);
    return text != nullptr && std::strncmp(text, "Unknown error", 13) != 0 ? text : std::string();
}

// ---- Event

Event::Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Event::~Event() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

void Event::set() {
    SetEvent(handle_);
}

void Event::reset() {
    ResetEvent(handle_);
}

bool Event::isSet() const {
    return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
}

std::unique_ptr<Port> makeSystemPort() {
    return std::make_unique<SystemPort>();
}

std::string defaultDevicePath(int port) {
    // The \\.\ form reaches COM10 and above too, which the plain name does not.
    return port < 1 ? std::string() : "\\\\.\\COM" + std::to_string(port);
}

// ---- waiting

namespace {

int waitForAnyFor(std::span<Event* const> events, DWORD milliseconds) {
    std::array<HANDLE, kMostEvents> handles{};
    if (!fillHandles(events, handles)) {
        return -1;
    }
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(events.size()), handles.data(),
                                                FALSE, milliseconds);
    return waitIndex(result, events.size());
}

}  // namespace

int waitForAny(std::span<Event* const> events) {
    return waitForAnyFor(events, INFINITE);
}

int waitForAny(std::span<Event* const> events, std::chrono::microseconds timeout) {
    // Rounded up, so that a short wait still waits rather than polls.
    const auto micros = std::max<std::chrono::microseconds::rep>(timeout.count(), 0);
    const auto millis = (micros + 999) / 1000;
    const DWORD limit =
        millis >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(millis);
    return waitForAnyFor(events, limit);
}

}  // namespace dravolin::comm
