#include "tests/win32/script_requests.h"

#include <chrono>
#include <cstdio>

namespace qelisp::test {

using namespace std::chrono_literals;

void ScriptRequests::take(HWND window, const std::string& name) {
    RECT rect{};
    GetWindowRect(window, &rect);
    take(rect, name);
}

void ScriptRequests::take(const RECT& rect, const std::string& name) {
    if (dir_.empty()) return;
    const bool taken = ask(name, "req",
                           std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                               std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top));
    std::printf("screenshot %s: %s\n", name.c_str(), taken ? "taken" : "not taken (no answer)");
}

bool ScriptRequests::plug(const std::string& port, bool in) {
    return !dir_.empty() && ask(port, in ? "plug" : "unplug", port);
}

bool ScriptRequests::ask(const std::string& name, const std::string& kind, const std::string& line) {
    const std::string request = dir_ + "\\" + name + "." + kind;
    const std::string done = dir_ + "\\" + name + ".done";
    DeleteFileA(done.c_str());
    // Written aside and renamed, so the script never reads half a line.
    const std::string text = line + "\n";
    HANDLE file = CreateFileA((request + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        MoveFileExA((request + ".tmp").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    return waitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15s, 20ms);
}

}  // namespace qelisp::test
