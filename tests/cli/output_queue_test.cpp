// What the console does with a reader that is slow or gone.
#include "cli/terminal/output_queue.h"
#include "cli/terminal/output_backlog.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace qelisp::cli {
namespace {

TEST(OutputBacklog, DropsWholePiecesPastItsCapAndSaysWhereOnce) {
    struct Step {
        char op;           // a: append, t: take, w: written, c: close
        const char* text;  // appended, or what take gives
    };
    const std::string note2 = "qelisp-cli: 2 lines dropped here; the reader fell behind\n";
    const std::string note1 = "qelisp-cli: 1 line dropped here; the reader fell behind\n";
    const std::string caughtUp = "defg\n" + note2 + "l\n";
    const Step steps[] = {
        {'a', "abc\n"},
        {'t', "abc\n"},
        {'a', "defg\n"},  // 4 being written + 5: fits the 10
        {'a', "hi\n"},
        {'a', "jk\n"},  // past the cap while "abc\n" is still being written
        {'w', ""},
        {'a', "l\n"},
        {'t', caughtUp.c_str()},
        {'w', ""},
        {'a', "too long for the cap\n"},
        {'c', ""},
        {'t', note1.c_str()},
        {'w', ""},
        {'c', ""},
        {'t', ""},             // one note per gap
        {'a', "mnopqrstu\n"},  // the cap exactly
        {'a', "\a"},           // a job's bell, dropped: a line of its own
        {'t', "mnopqrstu\n"},
        {'w', ""},
        {'c', ""},
        {'t', note1.c_str()},
        {'w', ""},
    };
    OutputBacklog backlog(10);
    for (const Step& s : steps) {
        switch (s.op) {
            case 'a': backlog.append(s.text); break;
            case 't': EXPECT_EQ(backlog.take(), s.text); break;
            case 'w': backlog.written(); break;
            default: backlog.close(); break;
        }
    }
    EXPECT_TRUE(backlog.idle());
}

// A stream that takes nothing: said once on the other, the rest let go.
TEST(OutputQueue, AFailedStreamIsSaidOnceAndTheRestDropped) {
    test::TempDir dir;
    const auto path = (dir / "read-only").string();
    test::writeFile(path, "");
    std::FILE* readOnly = std::fopen(path.c_str(), "r");
    ASSERT_NE(readOnly, nullptr);
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    {
        OutputQueue errors(log, "standard error", nullptr);
        OutputQueue out(readOnly, "standard output", &errors);
        for (int i = 0; i < 3; ++i) {
            out.append("line\n");
            EXPECT_TRUE(out.drain(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
        }
    }
    std::fclose(readOnly);
    const std::string said = test::readAndClose(log);
    EXPECT_EQ(said.rfind("qelisp-cli: standard output: ", 0), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;
    EXPECT_NE(said.find("; the job goes on"), std::string::npos) << said;
}

}  // namespace
}  // namespace qelisp::cli
