#pragma once
// The progress bar of the console, e.g. "[#####     ]  50%".
#include <string>

namespace qelisp::cli {

// The 4 KB pages the image covers, so a bar runs from empty to full over
// this firmware rather than over 1 MB.
struct PageSpan {
    int first = 0;
    int last = 0;
};

// `width` cells between the brackets, then the percentage.
std::string progressBar(int progress, PageSpan span, int width);

}  // namespace qelisp::cli
