#include "cli/records/append_file.h"

#include "cli/records/windows_device_name.h"

#include <windows.h>

#include <array>

namespace qelisp::cli {

namespace {

std::string systemMessage(DWORD err) {
    std::array<char, 256> text{};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0, text.data(),
                             static_cast<DWORD>(text.size()), nullptr);
    std::string message(text.data(), n);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "Windows error " + std::to_string(err) : message;
}

// The lock every appender of this program takes: one byte far beyond any
// log's end. Windows locks keep others from the bytes they cover, so a lock
// on the records themselves would fail a reader's ReadFile.
OVERLAPPED lockByte() {
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;
    return at;
}

class FileLock {
public:
    explicit FileLock(HANDLE handle) : handle_(handle) {
        // Where the file system has no locks the record is still appended.
        locked_ = LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at_);
    }
    ~FileLock() {
        if (locked_) UnlockFileEx(handle_, 0, 1, 0, &at_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    HANDLE handle_;
    OVERLAPPED at_ = lockByte();
    BOOL locked_ = FALSE;
};

class Win32AppendFile final : public AppendFile {
public:
    explicit Win32AppendFile(HANDLE handle) : handle_(handle) {}
    ~Win32AppendFile() override { CloseHandle(handle_); }
    Win32AppendFile(const Win32AppendFile&) = delete;
    Win32AppendFile& operator=(const Win32AppendFile&) = delete;

    bool append(std::string_view line, std::string& error) override {
        const FileLock lock(handle_);
        LARGE_INTEGER before{};
        if (!GetFileSizeEx(handle_, &before)) {
            error = systemMessage(GetLastError());
            return false;
        }
        // A line torn by an older program, or a file edited by hand, would
        // glue this record to its last line.
        std::string text;
        if (before.QuadPart > 0 && lastByte(before) != '\n') text = "\n";
        text.append(line);
        std::size_t done = 0;
        while (done < text.size()) {
            // Each write at the end of the file as it is then, as with
            // FILE_APPEND_DATA: other programs may append without the lock.
            OVERLAPPED atEnd{};
            atEnd.Offset = 0xFFFFFFFF;
            atEnd.OffsetHigh = 0xFFFFFFFF;
            DWORD written = 0;
            const BOOL wrote =
                WriteFile(handle_, text.data() + done, static_cast<DWORD>(text.size() - done), &written, &atEnd);
            const DWORD failure = GetLastError();
            done += written;
            if (wrote && written > 0) continue;
            error = wrote ? "nothing was written" : systemMessage(failure);
            // Half a record would spoil the line the next one is put on.
            if (done > 0 && !(SetFilePointerEx(handle_, before, nullptr, FILE_BEGIN) && SetEndOfFile(handle_))) {
                error += "; the part written stays in the file: " + systemMessage(GetLastError());
            }
            return false;
        }
        return true;
    }

private:
    // '\n' when it cannot be read: then the record goes on as it is.
    char lastByte(LARGE_INTEGER size) {
        OVERLAPPED at{};
        const LONGLONG offset = size.QuadPart - 1;
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        char last = '\n';
        DWORD read = 0;
        if (!ReadFile(handle_, &last, 1, &read, &at) || read != 1) return '\n';
        return last;
    }

    HANDLE handle_;
};

const char* whatItIs(DWORD type) {
    switch (type) {
        case FILE_TYPE_CHAR: return "a character device (a console, a serial or a printer port)";
        case FILE_TYPE_PIPE: return "a pipe";
        default: return "a device of no known kind";
    }
}

}  // namespace

std::unique_ptr<AppendFile> AppendFile::open(const std::string& path, std::string& error) {
    // By name before anything is opened: opening COM2 takes that serial line
    // from whatever uses it.
    if (const std::string device = windowsDeviceName(path); !device.empty()) {
        error = notAFile(device);
        return nullptr;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = notAFile("a directory");
        return nullptr;
    }
    // Read too: the last byte tells whether the file ends its last line.
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = systemMessage(GetLastError());
        return nullptr;
    }
    if (const DWORD type = GetFileType(handle); type != FILE_TYPE_DISK) {
        CloseHandle(handle);
        error = notAFile(whatItIs(type));
        return nullptr;
    }
    return std::make_unique<Win32AppendFile>(handle);
}

}  // namespace qelisp::cli
