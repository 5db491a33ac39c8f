#include "protocol/command_record.h"
#include "protocol/reply.h"
#include "tests/e2e/e2e_fixture.h"

#include <chrono>

namespace qelisp {
namespace {

using test::E2eTest;
using Ms = std::chrono::milliseconds;

class HandshakeE2e : public E2eTest {
protected:
    JobState state;
    Session session() { return Session{link_.get(), state, clock_}; }
};

TEST_F(HandshakeE2e, LoaderEchoesTheHandshake) {
    startSim();
    auto s = session();
    EXPECT_EQ(ConnectDevice(s), ConnectResult::Connected);
    EXPECT_EQ(state.status(), "Connecting...");
    EXPECT_EQ(stopSim().size(), 1u << 20);
    EXPECT_EQ(sim_->summary()->violations, 0u);
}

TEST_F(HandshakeE2e, SilentPeerCostsTwoPausesAndTwoTimeouts) {
    startSim({"--fault", "u1:silence", "--fault", "u2:silence"});
    auto s = session();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectDevice(s), ConnectResult::NotConnected);
    auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(took, Ms(2 * 1000 + 2 * 200));
    EXPECT_LT(took, Ms(3500));
}

TEST_F(HandshakeE2e, EraseAnnouncementShowsTheDots) {
    startSim({"--erase-ms", "1300", "--fault", "u1:erase"});
    std::vector<std::string> seen;
    state.setStatusListener([&](const std::string& text) { seen.push_back(text); });
    auto s = session();
    EXPECT_EQ(ConnectDevice(s), ConnectResult::Connected);
    // 1.3 s of erase is six or seven quiet reads: a dot every second one.
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[1], "Erasing Flash ");
    EXPECT_EQ(seen[2], "Erasing Flash .");
    EXPECT_EQ(seen[3], "Erasing Flash ..");
    EXPECT_EQ(state.status().rfind("Erasing Flash ...", 0), 0u) << state.status();
}

TEST_F(HandshakeE2e, ReadRequestReturnsTheFlashAsHex) {
    startSim({"--load", flashWithImage()});
    auto s = session();
    ASSERT_EQ(ConnectDevice(s), ConnectResult::Connected);

    CommandRecord request;
    request.count = 8;
    request.type = RecordType::ReadRequest;
    const std::uint8_t range[] = {0x00, 0x00, 0x30, 0x80, 0x00, 0x00, 0x30, 0xFF};
    std::copy(std::begin(range), std::end(range), request.data.begin());
    ASSERT_EQ(SendRecord(s, request, 8), 0);
    ASSERT_EQ(WaitReply(s, kAckByte), ReplyResult::ReplyOk);
    std::array<std::uint8_t, 1> a{};
    ASSERT_EQ(link_->read(a), 1);
    EXPECT_EQ(a[0], 'A');
    std::array<std::uint8_t, 256> block{};
    ASSERT_EQ(link_->read(block), 256);
    DecodeReadBack(block);

    const FirmwareImage& image = embeddedImage();
    auto want = image.record(*image.findStartRecord() + 1).data();
    ASSERT_EQ(image.record(*image.findStartRecord() + 1).address(), 0x3080u);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), block.begin()));
}

TEST_F(HandshakeE2e, PeerHangingUpFailsFastInsteadOfHanging) {
    startSim({"--fault", "u1:hangup"});
    auto s = session();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectDevice(s), ConnectResult::NotConnected);
    auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(took, Ms(3000));
}

}  // namespace
}  // namespace qelisp
