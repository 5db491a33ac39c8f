#pragma once
// Writes the tool's outputs so that a failed run changes none of them: each
// is written whole to a temporary file of its own beside its target (see
// new_file.h), and only when every one is written are they renamed into
// place, all of them or none. A signal that ends the run removes the
// temporary files, and waits until the renames are done (interrupt_cleanup.h).
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qelisp {

class StagedOutputs {
public:
    StagedOutputs() = default;
    ~StagedOutputs();  // removes the temporary files that were not committed
    StagedOutputs(const StagedOutputs&) = delete;
    StagedOutputs& operator=(const StagedOutputs&) = delete;

    // Writes `contents` for `target` to its temporary file. Throws
    // std::runtime_error ("cannot write <target>: <reason>").
    void add(std::filesystem::path target, std::string_view contents);

    // Renames every temporary file onto its target. Until the last rename has
    // succeeded, each earlier target is kept aside under a temporary name;
    // when a rename fails, the targets already replaced get their earlier
    // file back (or are removed if there was none) and std::runtime_error
    // says what failed. Between setting a target aside and renaming the new
    // file in, that target briefly does not exist.
    void commit();

private:
    struct Output {
        std::filesystem::path target;
        std::filesystem::path temporary;
        std::filesystem::path earlier;  // the target's earlier file, set aside; empty: none
        bool placed = false;            // temporary renamed onto target
    };

    void setAside(Output& output);
    std::string rollBack(std::size_t failed);

    std::vector<Output> outputs_;
};

}  // namespace qelisp
