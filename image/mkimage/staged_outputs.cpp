#include "image/mkimage/staged_outputs.h"

#include <stdexcept>
#include <system_error>
#include <utility>

#include "image/mkimage/interrupt_cleanup.h"
#include "image/mkimage/new_file.h"

namespace qelisp {

namespace fs = std::filesystem;

StagedOutputs::~StagedOutputs() {
    const InterruptsHeld held;  // a file goes off the list as it goes
    for (const Output& output : outputs_) {
        std::error_code ignored;
        if (output.placed) continue;
        fs::remove(output.temporary, ignored);
        keepOnInterrupt(output.temporary);
    }
}

void StagedOutputs::add(fs::path target, std::string_view contents) {
    try {
        NewFile file;
        {
            // Listed the moment it exists, so that a signal never leaves it behind.
            const InterruptsHeld held;
            file = createFileBeside(target);
            outputs_.push_back({target, file.path, {}, false});
            removeOnInterrupt(file.path);
        }
        const bool written = std::fwrite(contents.data(), 1, contents.size(), file.file.get()) == contents.size();
        if (std::fclose(file.file.release()) != 0 || !written) throw std::runtime_error("write failed");
    } catch (const std::exception& error) {
        throw std::runtime_error("cannot write " + target.string() + ": " + error.what());
    }
}

void StagedOutputs::commit() {
    // A signal waits for the renames: every output is in place, or every one
    // is as it was, before the handler removes what is still listed.
    const InterruptsHeld held;
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        Output& output = outputs_[i];
        std::error_code error;
        // The last target needs no way back: nothing can fail after it.
        if (i + 1 < outputs_.size()) {
            try {
                setAside(output);
            } catch (const std::exception& aside) {
                throw std::runtime_error(std::string(aside.what()) + rollBack(i));
            }
        }
        fs::rename(output.temporary, output.target, error);
        if (error) {
            throw std::runtime_error("cannot put the new " + output.target.string() + " in place: " + error.message() +
                                     rollBack(i));
        }
        output.placed = true;
        keepOnInterrupt(output.temporary);
    }
    for (Output& output : outputs_) {
        std::error_code ignored;
        if (!output.earlier.empty()) fs::remove(output.earlier, ignored);
    }
}

void StagedOutputs::setAside(Output& output) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(output.target, error))) return;
    // Reserve a name of our own, then move the target onto it.
    fs::path reserved;
    try {
        reserved = createFileBeside(output.target).path;
    } catch (const std::exception& reason) {
        throw std::runtime_error("cannot set " + output.target.string() + " aside: " + reason.what());
    }
    fs::rename(output.target, reserved, error);
    if (error) {
        std::error_code ignored;
        fs::remove(reserved, ignored);
        throw std::runtime_error("cannot set " + output.target.string() + " aside: " + error.message());
    }
    output.earlier = reserved;
}

// Undoes outputs failed, failed - 1, ... 0 and says how that went.
std::string StagedOutputs::rollBack(std::size_t failed) {
    std::string trouble;
    for (std::size_t i = failed + 1; i-- > 0;) {
        Output& output = outputs_[i];
        std::error_code error;
        if (!output.earlier.empty()) {
            fs::rename(output.earlier, output.target, error);
            if (error) {
                trouble += "; " + output.target.string() + " could not be put back (" + error.message() +
                           "): its earlier file is " + output.earlier.string();
            }
            output.earlier.clear();  // put back, or kept for the user
        } else if (output.placed) {
            fs::remove(output.target, error);
            if (error) trouble += "; the new " + output.target.string() + " could not be removed: " + error.message();
        }
        if (output.placed) output.temporary.clear();  // its name is gone with the rename
        output.placed = false;
    }
    return trouble.empty() ? "; no output was changed" : trouble;
}

}  // namespace qelisp
