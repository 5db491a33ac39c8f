#pragma once
// What the console shows while a job runs: every status change on its own
// line and, on a terminal, a progress bar kept on the last line.
#include <cstdio>
#include <mutex>
#include <string>

namespace qelisp::cli {

class ConsoleView {
public:
    // firstPage..lastPage: the 4 KB pages the image covers, so the bar runs
    // from empty to full over this firmware rather than over 1 MB.
    ConsoleView(std::FILE* out, bool terminal, int firstPage, int lastPage);

    // Called on the worker's thread for each status change.
    void status(const std::string& text, int progress);
    // Leaves the terminal on a fresh line.
    void finish();

    // The bar for a progress value, e.g. "[#####     ]  50%".
    std::string bar(int progress) const;

private:
    void clearBar();

    std::mutex mutex_;
    std::FILE* out_;
    bool terminal_;
    int firstPage_;
    int lastPage_;
    bool barShown_ = false;
};

}  // namespace qelisp::cli
