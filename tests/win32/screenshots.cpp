#include "tests/win32/screenshots.h"

#include <chrono>
#include <cstdio>

namespace qelisp::test {

using namespace std::chrono_literals;

void Screenshots::take(HWND window, const std::string& name) {
    if (dir_.empty()) return;
    RECT rect{};
    GetWindowRect(window, &rect);
    const std::string request = dir_ + "\\" + name + ".req";
    const std::string done = dir_ + "\\" + name + ".done";
    DeleteFileA(done.c_str());
    // Written aside and renamed, so the script never reads half a line.
    const std::string line = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                             std::to_string(rect.right - rect.left) + " " +
                             std::to_string(rect.bottom - rect.top) + "\n";
    HANDLE file = CreateFileA((request + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
        MoveFileExA((request + ".tmp").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool taken = waitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15s, 20ms);
    std::printf("screenshot %s: %s\n", name.c_str(), taken ? "taken" : "not taken (no answer)");
}

}  // namespace qelisp::test
