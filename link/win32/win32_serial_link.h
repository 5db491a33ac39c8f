#pragma once
// A COM port through the Win32 communications calls: 115200 8N1 binary, with
// the loader's time-outs set in the driver, so ReadFile and WriteFile return
// by themselves when the time is up.
#include "link/port.h"
#include "link/serial_link.h"
#include "link/win32/windows_api.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace qelisp {

class Win32SerialLink final : public SerialLink {
public:
    // `wire`: false where the port may have no line to wait on (Wine).
    Win32SerialLink(HANDLE handle, bool wire) : handle_(handle), wire_(wire) {}
    ~Win32SerialLink() override;
    Win32SerialLink(const Win32SerialLink&) = delete;
    Win32SerialLink& operator=(const Win32SerialLink&) = delete;

    int purge() override;
    int readWaiting(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int awaitSent(std::span<std::uint8_t> buf) override;
    int read(std::span<std::uint8_t> buf) override;

private:
    // ReadFile with the time-outs as set, into the whole buffer.
    int readFile(std::span<std::uint8_t> buf);
    // The kept byte, if any, into buf's first place: how many (0 or 1).
    std::size_t takePending(std::span<std::uint8_t> buf);

    HANDLE handle_;
    bool wire_;
    // When the last write began and how much it wrote: what awaitSent looks at.
    std::chrono::steady_clock::time_point writeStart_{};
    std::size_t written_ = 0;
    // A byte awaitSent read after the line could have crossed the wire: it
    // may be the answer, so the next read or readWaiting hands it out first.
    std::optional<std::uint8_t> pending_;
};

// "COM3" -> "\\.\COM3". The device-namespace form is the only one that
// reaches COM10 and above; a name already in that form is kept.
std::string devicePath(const std::string& name);

// Why the port `name` failed, with the system's error `err`, in openPort()'s
// words: CreateFile refused it, or it opened but would not tell or take its
// line settings (what Wine does for a COM name with nothing behind it).
OpenResult createFailure(const std::string& name, DWORD err);
OpenResult settingsFailure(const std::string& name, DWORD err);

}  // namespace qelisp
