#include "link/win32/win32_serial_link.h"

#include "link/local_port.h"
#include "link/port.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <string>
#include <string_view>

namespace qelisp {

namespace {

// The driver's queues as the loader's conversation needs them: a read-back
// block is 256 characters, a command line under 300.
constexpr DWORD kInputQueue = 1024;
constexpr DWORD kOutputQueue = 512;

constexpr std::string_view kDeviceNamespace = "\\\\.\\";

OpenError classify(DWORD err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED: return OpenError::NotFound;
        // Windows answers "access denied" for a COM port that another program
        // holds open; a port is never refused to a user for rights.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY: return OpenError::Busy;
        default: return OpenError::Other;
    }
}

// The system's own words for an error code, without the trailing line break.
std::string systemMessage(DWORD err) {
    std::array<char, 256> text{};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0, text.data(),
                             static_cast<DWORD>(text.size()), nullptr);
    std::string message(text.data(), n);
    while (!message.empty() &&
           (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) message = "Windows error " + std::to_string(err);
    return message;
}

OpenResult fail(OpenError error, const std::string& name, const std::string& detail = {}) {
    std::string text = describe(error);
    if (error == OpenError::Busy) text += " (close the program that uses it, then pick it again)";
    if (error == OpenError::NotFound) text += " (is the USB-serial adapter plugged in?)";
    if (!detail.empty()) text += " (" + detail + ")";
    return openFailed(error, name, text);
}

// A drive or a folder in the name ("C:\windows", "\\.\C:\x.txt") points into
// a file system; a port's name ("COM3", "\\.\COM12", "CNCA0") has neither.
bool namesAFile(const std::string& path) {
    return path.find_first_of(":\\/", kDeviceNamespace.size()) != std::string::npos;
}

OpenResult notSerial(const std::string& name, DWORD attributes) {
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return openFailed(OpenError::NotSerial, name,
                      directory ? "is a directory, not a serial port" : "is a file, not a serial port");
}

// Binary 8N1 at 115200 on top of what the driver reports. The line carries
// the loader's conversation only, whatever an earlier program left on: no
// software flow control, under which the driver would keep an instrument's
// XOFF to itself and hold our lines back until an XON (a stray byte must
// fail the step), no byte dropped (NUL stripping) or replaced (the error
// character), and no line error that fails every read until it is cleared.
// The hardware handshake lines stay as the driver reports them: a cable or
// an adapter may need them, and they carry no byte of the conversation.
bool applyLineSettings(HANDLE handle) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle, &dcb)) return false;
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(handle, &dcb) != FALSE;
}

// Every read returns after at most `readMs` with what has arrived; a write
// gets 10 ms per byte plus 10 ms. `readMs` must not be 0: all zeros mean
// "no time-out at all" to the driver.
bool applyTimeouts(HANDLE handle, DWORD readMs) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = std::max<DWORD>(readMs, 1);
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 10;
    return SetCommTimeouts(handle, &timeouts) != FALSE;
}

bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

DWORD clampedSize(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

}  // namespace

OpenResult createFailure(const std::string& name, DWORD err) { return fail(classify(err), name, systemMessage(err)); }

OpenResult settingsFailure(const std::string& name, DWORD err) {
    return fail(OpenError::NotSerial, name, systemMessage(err));
}

std::string devicePath(const std::string& name) {
    if (name.rfind(kDeviceNamespace, 0) == 0) return name;
    return std::string(kDeviceNamespace) + name;
}

Win32SerialLink::~Win32SerialLink() { CloseHandle(handle_); }

int Win32SerialLink::purge() {
    pending_.reset();
    return PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR) ? 0 : 1;
}

std::size_t Win32SerialLink::takePending(std::span<std::uint8_t> buf) {
    if (!pending_ || buf.empty()) return 0;
    buf[0] = *pending_;
    pending_.reset();
    return 1;
}

int Win32SerialLink::readFile(std::span<std::uint8_t> buf) {
    DWORD got = 0;
    // FALSE means the port itself failed, e.g. the adapter was pulled out.
    if (!ReadFile(handle_, buf.data(), clampedSize(buf.size()), &got, nullptr)) return -1;
    return static_cast<int>(got);
}

int Win32SerialLink::readWaiting(std::span<std::uint8_t> buf) {
    const std::size_t kept = takePending(buf);
    // The driver's own count: no purge, and no trip to a USB adapter.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) return kept > 0 ? static_cast<int>(kept) : -1;
    const auto rest = buf.subspan(kept);
    if (status.cbInQue == 0 || rest.empty()) return static_cast<int>(kept);
    // What is counted is there: ReadFile returns at once.
    const int n = readFile(rest.first(std::min<std::size_t>(rest.size(), status.cbInQue)));
    if (n < 0) return kept > 0 ? static_cast<int>(kept) : -1;
    return static_cast<int>(kept) + n;
}

int Win32SerialLink::write(std::span<const std::uint8_t> bytes) {
    DWORD written = 0;
    writeStart_ = std::chrono::steady_clock::now();
    // A time-out is not a failure to WriteFile: it returns TRUE with a short
    // count, which the caller treats as a failed write.
    const BOOL ok = WriteFile(handle_, bytes.data(), clampedSize(bytes.size()), &written, nullptr);
    written_ = written;
    if (!ok) return written > 0 ? static_cast<int>(written) : -1;
    return static_cast<int>(written);
}

int Win32SerialLink::awaitSent(std::span<std::uint8_t> buf) {
    // A synchronous WriteFile returns once the driver has handed the line on
    // (to a USB adapter that took it, or to the UART's queue), long before
    // its last bit is on the wire. Until the line could have crossed the
    // wire since the write began, whatever comes is a stray byte.
    if (!wire_ || written_ == 0) return 0;
    using namespace std::chrono;
    const auto lineEnd = writeStart_ + nanoseconds(kByteTimeNs * static_cast<std::int64_t>(written_));
    written_ = 0;
    if (buf.empty()) return 0;
    // A one-byte ReadFile bounded by the rest of the line's time returns the
    // moment a byte comes: no polling, no USB round trip, and none of the
    // overlapped I/O that WaitCommEvent would need for every read and write.
    // The driver's timer (on Windows a 15.6 ms tick unless a program asked
    // for finer) ends it only when nothing came, and ending late costs
    // nothing: the answer then ends it as it comes. The clock, not the
    // time-out, says whether the line could have been out; a time-out that
    // ends early only starts another for the rest.
    std::array<std::uint8_t, 1> first{};
    int n = 0;
    auto seen = steady_clock::now();
    bool watched = false;
    while (n == 0 && seen < lineEnd) {
        const auto ms = duration_cast<milliseconds>(lineEnd - seen + milliseconds(1) - nanoseconds(1)).count();
        if (!applyTimeouts(handle_, static_cast<DWORD>(ms))) return -1;
        watched = true;
        n = readFile(first);
        seen = steady_clock::now();
    }
    if (watched && !applyTimeouts(handle_, kReadBudgetMs)) return -1;
    if (n <= 0) return n;
    if (seen >= lineEnd) {
        // Seen after the line could have crossed: maybe the answer. The next
        // read hands it out first.
        pending_ = first[0];
        return 0;
    }
    buf[0] = first[0];
    // The rest of a burst, for the trace; the step fails on the first byte.
    const int more = readWaiting(buf.subspan(1));
    return 1 + std::max(more, 0);
}

int Win32SerialLink::read(std::span<std::uint8_t> buf) {
    const std::size_t kept = takePending(buf);
    if (kept == buf.size()) return static_cast<int>(kept);
    const int n = readFile(buf.subspan(kept));
    if (n < 0) return kept > 0 ? static_cast<int>(kept) : -1;
    return static_cast<int>(kept) + n;
}

OpenResult openLocalPort(const std::string& name, OpenMode mode, LineTiming timing) {
    // No device name holds a control character or a NUL, and the system
    // would read the name only up to a NUL.
    if (std::any_of(name.begin(), name.end(), [](unsigned char c) { return std::iscntrl(c); })) {
        return openFailed(OpenError::NotFound, name, "no such port (a port name holds no control characters)");
    }
    const std::string path = devicePath(name);
    if (path.size() >= MAX_PATH) return openFailed(OpenError::NotFound, name, "no such port (name too long)");
    // Ask what a path is before opening it: CreateFile on a directory says
    // "access denied", which would read as a port held by another program,
    // and a file opens and only then refuses the line settings.
    const bool file = namesAFile(path);
    if (file) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DEVICE)) {
            return notSerial(name, attributes);
        }
    }
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    // Under Wine a COM port is whatever Unix device the prefix maps it to,
    // often a pseudo-terminal with no wire behind it (our test bench), where
    // an instant answer would pass for a stray byte.
    const bool wire = timing == LineTiming::Wire || (timing == LineTiming::Auto && !runningUnderWine());
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        OpenError error = classify(err);
        // A missing file is no missing adapter.
        if (file && error == OpenError::NotFound) {
            return openFailed(error, name, std::string(describe(error)) + " (" + systemMessage(err) + ")");
        }
        return createFailure(name, err);
    }
    // From here on the handle belongs to the link, which closes it if a
    // setting cannot be applied.
    auto link = std::make_unique<Win32SerialLink>(handle, wire);

    // The queue sizes are a request: a driver may keep its own, and the
    // conversation works with either.
    if (mode == OpenMode::StartUp) SetupComm(handle, kInputQueue, kOutputQueue);

    if (!applyLineSettings(handle)) return settingsFailure(name, GetLastError());
    if (!applyTimeouts(handle, kReadBudgetMs)) {
        DWORD err = GetLastError();
        return fail(OpenError::Other, name, systemMessage(err));
    }

    OpenResult result;
    result.link = std::move(link);
    return result;
}

}  // namespace qelisp
