#include "cli/append_file.h"

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

class Win32AppendFile final : public AppendFile {
public:
    explicit Win32AppendFile(HANDLE handle) : handle_(handle) {}
    ~Win32AppendFile() override { CloseHandle(handle_); }
    Win32AppendFile(const Win32AppendFile&) = delete;
    Win32AppendFile& operator=(const Win32AppendFile&) = delete;

    bool append(std::string_view line, std::string& error) override {
        // Opened for appending only: each WriteFile lands whole at the end.
        DWORD written = 0;
        if (WriteFile(handle_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
            written == line.size()) {
            return true;
        }
        error = systemMessage(GetLastError());
        return false;
    }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<AppendFile> AppendFile::open(const std::string& path, std::string& error) {
    HANDLE handle = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = systemMessage(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32AppendFile>(handle);
}

}  // namespace qelisp::cli
