#include "serial/platform/comm.h"
#include "serial/platform/comm_common.h"

#include <windows.h>

#include <array>
#include <cstring>
#include <string>

// The Win32 twin of comm_posix.cpp: events are Win32 events, the wait for any of them is
// WaitForMultipleObjects, and the port is a handle opened for overlapped I/O, so that a
// pending wait, read or write never holds up the thread that wants to halt it.

namespace dravolin::comm {

namespace {

// How long closing waits for a pending WaitCommEvent to end once it has been told to.
constexpr DWORD kCommWaitEndMs = 2000;

// A read that waits up to this long counts as "no time-out" (about 49 days).
constexpr DWORD kReadForever = MAXDWORD - 1;

std::wstring widePath(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            length);
    }
    return wide;
}

// A removed USB adapter makes the handle's calls fail with one of these: the device is gone.
bool meansDeviceGone(DWORD code) {
    return code == ERROR_ACCESS_DENIED || code == ERROR_BAD_COMMAND ||
           code == ERROR_DEVICE_REMOVED || code == ERROR_OPERATION_ABORTED ||
           code == ERROR_INVALID_HANDLE || code == ERROR_GEN_FAILURE ||
           code == ERROR_DEVICE_NOT_CONNECTED;
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
    if (code == ERROR_INVALID_PARAMETER) {
        return EINVAL;
    }
    return EIO;
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
    if (result == WAIT_TIMEOUT) {
        return kWaitTimedOut;
    }
    setLastError(EBADF);
    return -1;
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

    bool open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void handBack() override;

    bool setTimeouts(const Timeouts& timeouts) override;
    bool setEventMask(unsigned mask) override;
    bool eventMask(unsigned& mask) const override;
    bool readState(LineState& state) const override;
    bool applyState(const LineState& state) override;
    bool purge() override;
    bool bytesWaiting(std::size_t& count) override;
    bool bytesQueuedForOutput(std::size_t& count) override;

    WaitStart beginEventWait(Event& completion) override;
    int waitForAny(std::span<Event* const> events) override;
    ReadOutcome read(std::span<std::uint8_t> buffer, std::size_t& count,
                     const Event* abandon) override;
    WriteOutcome write(std::span<const std::uint8_t> bytes, const Event* abandon) override;
    bool hungUp() const override { return hungUp_; }

private:
    bool noteFailure();
    bool usable();
    // The driver's queues and the line errors it collected since last asked.
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
    unsigned eventMask_ = 0;
    DWORD lineErrors_ = 0;  // parity, framing and overrun errors seen since open
    Overlapped commWait_;
    DWORD firedEvents_ = 0;
    bool commWaitIssued_ = false;
    Event* armedCompletion_ = nullptr;
    Overlapped reading_;
    Overlapped writing_;
};

bool SystemPort::noteFailure() {
    const DWORD code = GetLastError();
    setLastError(codeForCallFailure(code));
    if (meansDeviceGone(code)) {
        hungUp_ = true;
    }
    return false;
}

bool SystemPort::usable() {
    if (handle_ == INVALID_HANDLE_VALUE) {
        setLastError(EBADF);
        return false;
    }
    return true;
}

bool SystemPort::open(const std::string& devicePath) {
    close();
    if (devicePath.empty()) {
        setLastError(ENOENT);
        return false;
    }
    // "COM12" alone names no device; "\\.\COM12" does, and so for every number.
    int number = 0;
    const bool bareComName = devicePath.size() > 3 && devicePath.compare(0, 3, "COM") == 0 &&
                             parseWholeNumber(std::string_view(devicePath).substr(3), number);
    const std::string path = bareComName ? defaultDevicePath(number) : devicePath;
    // No sharing: while we have the port, nobody else may open it.
    const HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        setLastError(codeForOpenFailure(GetLastError()));
        return false;
    }
    settingsAtOpen_ = DCB{};
    settingsAtOpen_.DCBlength = sizeof settingsAtOpen_;
    if (!GetCommState(handle, &settingsAtOpen_) || !GetCommTimeouts(handle, &timeoutsAtOpen_)) {
        CloseHandle(handle);
        setLastError(ENOTTY);  // a file or another device, not a serial port
        return false;
    }
    handle_ = handle;
    heldByUs_ = true;
    hungUp_ = false;
    lineErrors_ = 0;
    commWaitIssued_ = false;
    armedCompletion_ = nullptr;
    return true;
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

bool SystemPort::setTimeouts(const Timeouts& timeouts) {
    if (!usable()) {
        return false;
    }
    // A read returns at once with what waits, or waits for the first byte up to the total
    // read time-out: the two MAXDWORDs ask for exactly that.
    const DWORD readTotal = timeouts.readTotalMultiplier + timeouts.readTotalConstant;
    COMMTIMEOUTS system{};
    system.ReadIntervalTimeout = MAXDWORD;
    system.ReadTotalTimeoutMultiplier = MAXDWORD;
    system.ReadTotalTimeoutConstant = readTotal == 0 ? kReadForever : readTotal;
    system.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    system.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    return SetCommTimeouts(handle_, &system) ? true : noteFailure();
}

bool SystemPort::setEventMask(unsigned mask) {
    if (!usable()) {
        return false;
    }
    const DWORD systemMask = (mask & kEventReceived) != 0 ? EV_RXCHAR : 0;
    if (!SetCommMask(handle_, systemMask)) {
        return noteFailure();
    }
    eventMask_ = mask;
    return true;
}

bool SystemPort::eventMask(unsigned& mask) const {
    if (handle_ == INVALID_HANDLE_VALUE) {
        setLastError(EBADF);
        return false;
    }
    mask = eventMask_;
    return true;
}

bool SystemPort::readState(LineState& state) const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle_ == INVALID_HANDLE_VALUE || !GetCommState(handle_, &dcb)) {
        setLastError(handle_ == INVALID_HANDLE_VALUE ? EBADF : EIO);
        return false;
    }
    state.baud = static_cast<int>(dcb.BaudRate);
    state.settings.byteSize = dcb.ByteSize;
    state.settings.parity = dcb.Parity;
    state.settings.stopBits = dcb.StopBits;
    state.rtsControl = static_cast<int>(dcb.fRtsControl);
    return true;
}

bool SystemPort::applyState(const LineState& state) {
    if (!usable()) {
        return false;
    }
    if (state.baud <= 0) {
        setLastError(EINVAL);
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        return noteFailure();
    }
    dcb.BaudRate = static_cast<DWORD>(state.baud);
    dcb.ByteSize = state.settings.byteSize;
    dcb.Parity = state.settings.parity;
    dcb.StopBits = state.settings.stopBits;
    dcb.fBinary = TRUE;
    // Parity is checked; a byte that fails it is delivered as it came and the error is
    // collected by ClearCommError. Aborting on errors would make every later call fail
    // with ERROR_OPERATION_ABORTED, which means a removed adapter here.
    dcb.fParity = TRUE;
    dcb.fAbortOnError = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // No flow control of either kind.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = static_cast<DWORD>(state.rtsControl & 3);
    if (!SetCommState(handle_, &dcb)) {
        return noteFailure();
    }
    return true;
}

bool SystemPort::purge() {
    if (!usable()) {
        return false;
    }
    return PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR) ? true : noteFailure();
}

bool SystemPort::queueStatus(COMSTAT& status) {
    if (!usable()) {
        return false;
    }
    // ClearCommError also clears the line errors; they are kept for the reads to see.
    DWORD errors = 0;
    if (!ClearCommError(handle_, &errors, &status)) {
        return noteFailure();
    }
    lineErrors_ |= errors & (CE_RXPARITY | CE_FRAME | CE_OVERRUN | CE_RXOVER);
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
        setLastError(handle_ == INVALID_HANDLE_VALUE ? EBADF : EIO);
        return WaitStart::Failed;
    }
    std::size_t waiting = 0;
    if (!bytesWaiting(waiting)) {
        hungUp_ = true;  // a port that cannot be asked cannot be watched either
        return WaitStart::Failed;
    }
    if ((eventMask_ & kEventReceived) != 0 && waiting > 0) {
        completion.set();
        return WaitStart::CompletedAtOnce;
    }
    if (!issueCommWait()) {
        hungUp_ = true;
        return WaitStart::Failed;
    }
    // A byte that came between the question and the wait sets no event of its own.
    if (bytesWaiting(waiting) && waiting > 0 && (eventMask_ & kEventReceived) != 0) {
        completion.set();
        return WaitStart::CompletedAtOnce;
    }
    armedCompletion_ = &completion;
    return WaitStart::Pending;
}

int SystemPort::waitForAny(std::span<Event* const> events) {
    if (armedCompletion_ == nullptr) {
        return comm::waitForAny(events);
    }
    std::array<HANDLE, kMostEvents> handles{};
    if (!fillHandles(events, handles)) {
        return -1;
    }
    const std::size_t portIndex = events.size();
    handles[portIndex] = commWait_.event();
    for (;;) {
        const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(portIndex + 1),
                                                    handles.data(), FALSE, INFINITE);
        const int index = waitIndex(result, portIndex + 1);
        if (index < 0) {
            return -1;
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
        const int lowest = lowestSetEvent(events);
        return lowest;  // -1: the port completed a wait on an event nobody waits for
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

ReadOutcome SystemPort::read(std::span<std::uint8_t> buffer, std::size_t& count,
                             const Event* abandon) {
    count = 0;
    if (buffer.empty()) {
        return ReadOutcome::Nothing;
    }
    if (!usable()) {
        return ReadOutcome::FailedAtOnce;
    }
    reading_.rearm();
    DWORD got = 0;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
    if (ReadFile(handle_, buffer.data(), size, &got, reading_.record())) {
        count = got;
        return got > 0 ? ReadOutcome::Read : ReadOutcome::Nothing;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        noteFailure();
        return ReadOutcome::FailedAtOnce;
    }
    const bool ended = waitForOperation(reading_, abandon);
    if (!finishOperation(reading_, got)) {
        const DWORD code = GetLastError();
        if (!ended && code == ERROR_OPERATION_ABORTED) {
            return ReadOutcome::Nothing;  // abandoned by us, not a removed adapter
        }
        SetLastError(code);
        noteFailure();
        return ReadOutcome::FailedLate;
    }
    count = got;  // bytes that came before an abandon are kept, not lost
    return got > 0 ? ReadOutcome::Read : ReadOutcome::Nothing;
}

WriteOutcome SystemPort::write(std::span<const std::uint8_t> bytes, const Event* abandon) {
    if (bytes.empty()) {
        return WriteOutcome::Written;
    }
    if (!usable()) {
        return WriteOutcome::FailedAtOnce;
    }
    writing_.rearm();
    DWORD put = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    if (WriteFile(handle_, bytes.data(), size, &put, writing_.record())) {
        return put == size ? WriteOutcome::Written : WriteOutcome::EndedLate;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        noteFailure();
        return WriteOutcome::FailedAtOnce;
    }
    const bool ended = waitForOperation(writing_, abandon);
    if (!finishOperation(writing_, put)) {
        const DWORD code = GetLastError();
        if (!ended && code == ERROR_OPERATION_ABORTED) {
            return WriteOutcome::Abandoned;
        }
        SetLastError(code);
        noteFailure();
        return WriteOutcome::EndedLate;
    }
    if (!ended) {
        return WriteOutcome::Abandoned;
    }
    return put == size ? WriteOutcome::Written : WriteOutcome::EndedLate;  // short: timed out
}

}  // namespace

std::string errorText(int code) {
    const char* text = std::strerror(code);
    return text != nullptr && std::strncmp(text, "Unknown error", 13) != 0 ? text : std::string();
}

bool buildLineState(const std::string& settings, LineState& state) {
    // The settings string is BuildCommDCB's own form.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!BuildCommDCBA(settings.c_str(), &dcb) || dcb.BaudRate == 0) {
        setLastError(EINVAL);
        return false;
    }
    state.baud = static_cast<int>(dcb.BaudRate);
    state.settings.byteSize = dcb.ByteSize;
    state.settings.parity = dcb.Parity;
    state.settings.stopBits = dcb.StopBits;
    return true;
}

bool marksLineErrors(const LineState&) {
    // Windows never marks bytes in the stream: ClearCommError reports parity and framing
    // errors apart from the bytes.
    return false;
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
