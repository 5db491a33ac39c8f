#pragma once
// The master side of a pseudo-terminal, standing in for the instrument's end
// of the cable. The slave is set raw once at creation (no echo, no CR
// translation) and then closed, so that the master sees POLLHUP whenever no
// client has the slave open.
#include <string>

namespace qelisp::sim {

class PtyPort {
public:
    PtyPort() = default;
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort();

    // Opens a new pty, non-blocking. False (and `error`) on failure.
    bool open(std::string& error);
    void close();

    int fd() const { return fd_; }
    const std::string& slavePath() const { return slavePath_; }

private:
    int fd_ = -1;
    std::string slavePath_;
};

}  // namespace qelisp::sim
