// qelisp-mkimage: builds the program's firmware image block from an Intel HEX
// file at build time. Exit status 0 on success, 1 when the input cannot be
// made into an image or an output cannot be written, 2 on a usage error.
// Ended by SIGINT, SIGTERM or SIGHUP, it removes its temporary files first.
#include <cstdio>
#include <string_view>
#include <vector>

#include "image/mkimage/interrupt_cleanup.h"
#include "image/mkimage/run_mkimage.h"
#include "link/standard_descriptors.h"

int main(int argc, char** argv) {
    if (!qelisp::ensureStandardDescriptors()) return 1;
    qelisp::installInterruptCleanup();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const qelisp::MkimageRun run = qelisp::runMkimage(args);
    std::fputs(run.output.c_str(), stdout);
    std::fputs(run.errors.c_str(), stderr);
    return run.status;
}
