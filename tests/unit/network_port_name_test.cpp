// Network ports' names: which names ask for the network, what they parse to,
// what is wrong with a malformed one, and which server port each stands for.
#include "link/net/network_port_name.h"
#include "link/net/network_port_identity.h"

#include <gtest/gtest.h>

#include <string>

namespace qelisp {
namespace {

using namespace std::string_literals;
using Kind = NetworkPortName::Kind;

TEST(NetworkPortName, ParsesGoodNamesAndSaysWhatIsWrongWithBadOnes) {
    struct Case {
        std::string name;
        bool network;
        Kind kind;
        std::string host;
        std::uint16_t port;
        std::string identityOrError;  // the identity of a good name, a part of the error of a bad one
    };
    const Case cases[] = {
        {"rfc2217://bench3:7000", true, Kind::Rfc2217, "bench3", 7000, "net:bench3:7000"},
        {"RFC2217://Bench3.Lab:1", true, Kind::Rfc2217, "Bench3.Lab", 1, "net:bench3.lab:1"},
        {"TcP://10.0.0.7:65535", true, Kind::RawTcp, "10.0.0.7", 65535, "net:10.0.0.7:65535"},
        {"tcp://[::1]:7001", true, Kind::RawTcp, "::1", 7001, "net:::1:7001"},
        {"tcp://[FE80::1%eth0]:7001", true, Kind::RawTcp, "FE80::1%eth0", 7001, "net:fe80::1%eth0:7001"},
        {"rfc2217://bench3", true, {}, {}, 0, "the port is missing"},
        {"rfc2217://bench3:", true, {}, {}, 0, "the port is missing"},
        {"rfc2217://bench3:0", true, {}, {}, 0, "bad port '0'"},
        {"rfc2217://bench3:65536", true, {}, {}, 0, "bad port '65536'"},
        {"tcp://bench3:70x", true, {}, {}, 0, "bad port '70x'"},
        {"tcp://bench3:+70", true, {}, {}, 0, "bad port"},
        {"rfc2217://:7000", true, {}, {}, 0, "the host is empty"},
        {"tcp://[]:7000", true, {}, {}, 0, "the host is empty"},
        {"tcp://[::1:7000", true, {}, {}, 0, "no closing bracket"},
        {"tcp://[::1]7000", true, {}, {}, 0, "the port goes after a colon"},
        {"tcp://::1:7000", true, {}, {}, 0, "goes in brackets"},
        {"tcp://[bench3]:7000", true, {}, {}, 0, "not an IPv6 address"},
        {"rfc2217://bench3:7000/", true, {}, {}, 0, "is a path"},
        {"rfc2217://bench3/ttyS0", true, {}, {}, 0, "is a path"},
        {"rfc2217://bench3\0:7000"s, true, {}, {}, 0, "NUL byte"},
        {"rfc2217://bench 3:7000", true, {}, {}, 0, "not a host name"},
        {"rfc2217:/bench3:7000", false, {}, {}, 0, "not a network port's name"},
        {"ttyUSB0", false, {}, {}, 0, "not a network port's name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isNetworkPortName(c.name), c.network);
        std::string error = "stale";
        const auto parsed = parseNetworkPortName(c.name, error);
        if (c.port == 0) {
            EXPECT_FALSE(parsed);
            EXPECT_NE(error.find(c.identityOrError), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(error, "");
        EXPECT_EQ(parsed->kind, c.kind);
        EXPECT_EQ(parsed->host, c.host);
        EXPECT_EQ(parsed->port, c.port);
        EXPECT_EQ(networkPortIdentity(c.name), c.identityOrError);
    }
}

}  // namespace
}  // namespace qelisp
