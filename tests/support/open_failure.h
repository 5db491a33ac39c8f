#pragma once
// What every failed open must give, whatever the name: no link, the expected
// kind of error, and one short line that starts with the name made printable
// and says why.
#include "link/port.h"
#include "link/printable_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace qelisp::test {

inline void expectOpenFailure(const std::string& name, OpenError error, const std::string& reason) {
    OpenResult opened = openPort(name);
    const std::string& message = opened.message;
    SCOPED_TRACE(message);
    EXPECT_FALSE(opened.link);
    EXPECT_EQ(opened.error, error);
    EXPECT_EQ(message.rfind(printableName(name) + ": ", 0), 0u);
    EXPECT_NE(message.find(reason), std::string::npos);
    EXPECT_LE(message.size(), 200u);
    EXPECT_TRUE(std::none_of(message.begin(), message.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }));
}

}  // namespace qelisp::test
