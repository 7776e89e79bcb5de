// The library against the reader simulator on a pseudo-terminal.
#include "qnlink.h"

#include "SimProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <vector>

using veltra::test::SimProcess;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Closes a handle when the test ends, whatever happened.
struct Handle {
    int value;
    explicit Handle(int h) : value(h) {}
    ~Handle() {
        if (value > 0) {
            QnClosePort(value);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator int() const { return value; }
};

TEST(LinkTest, OpensIdentifiesAndReportsTheReader) {
    SimProcess sim({"--type", "244", "--version", "K"});
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    EXPECT_LT(h, 10001);

    std::array<unsigned char, 8> reply{};
    std::array<char, 32> model{};
    ASSERT_EQ(QnReadDeviceType(h, reply.data(), 8, model.data(), 32), 4);
    EXPECT_EQ(std::string(reply.begin(), reply.begin() + 4), "244K");
    EXPECT_EQ(std::string(model.data()), "QN-V244");
    EXPECT_EQ(QnSupportsReaderMode(h), 1);
    EXPECT_EQ(QnIsLanConnection(h), 0);
    EXPECT_EQ(QnIsHidConnection(h), 0);

    std::array<char, 64> name{};
    EXPECT_EQ(QnGetPortName(h, name.data(), 64), static_cast<int>(sim.port().size()));
    EXPECT_EQ(std::string(name.data()), sim.port());
    EXPECT_EQ(QnGetPortName(h, name.data(), static_cast<int>(sim.port().size())), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);

    EXPECT_EQ(QnClosePort(h), 0);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_UNKNOWN_HANDLE);
    EXPECT_EQ(QnClosePort(h), -1);
    h.value = 0;
}

TEST(LinkTest, ModesAreSetStoredAndRead) {
    SimProcess sim;
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    EXPECT_EQ(QnSetMode(h, 0), 0);
    EXPECT_EQ(QnSetModeStored(h, 3), 0);
    EXPECT_EQ(QnReadMode(h), 3);
    EXPECT_EQ(sim.value("stored_mode"), "3");
    EXPECT_EQ(QnSetModeStored(h, 1), 0);
    EXPECT_EQ(QnReadMode(h), 1);

    // Values outside the allowed sets are refused before anything is sent.
    for (int bad : {4, -1, 127, 130, 256}) {
        EXPECT_EQ(QnSetMode(h, bad), -1) << bad;
        EXPECT_EQ(QnGetLastError(h), QN_ERR_MODE) << bad;
    }
    for (int bad : {2, 128, 129}) {
        EXPECT_EQ(QnSetModeStored(h, bad), -1) << bad;
        EXPECT_EQ(QnGetLastError(h), QN_ERR_MODE) << bad;
    }
    EXPECT_EQ(sim.value("stored_mode"), "1");
}

TEST(LinkTest, BlocksTwoToSixRoundTrip) {
    SimProcess sim;
    Handle h(QnOpenPort(sim.port().c_str(), 19200, 0, 500));
    ASSERT_GT(h, 0);
    for (int block = 2; block <= 6; ++block) {
        // Block 6 holds the four operating parameters; the others are key sequences.
        Bytes data(block == 6 ? 4 : static_cast<std::size_t>(10 + block));
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(block * 16 + i);
        }
        using Write = int (*)(int, const unsigned char*, int);
        using Read = int (*)(int, unsigned char*, int);
        constexpr Write writes[] = {QnWriteParameterBlock2, QnWriteParameterBlock3,
                                    QnWriteParameterBlock4, QnWriteParameterBlock5,
                                    QnWriteParameterBlock6};
        constexpr Read reads[] = {QnReadParameterBlock2, QnReadParameterBlock3,
                                  QnReadParameterBlock4, QnReadParameterBlock5,
                                  QnReadParameterBlock6};
        const auto i = static_cast<std::size_t>(block - 2);
        ASSERT_EQ(writes[i](h, data.data(), static_cast<int>(data.size())), 0) << block;
        EXPECT_EQ(sim.block(block), data) << block;
        std::array<unsigned char, 128> back{};
        ASSERT_EQ(reads[i](h, back.data(), 128), static_cast<int>(data.size())) << block;
        EXPECT_EQ(Bytes(back.begin(), back.begin() + static_cast<long>(data.size())), data);
        // A buffer one byte short gets nothing.
        std::array<unsigned char, 128> small{};
        EXPECT_EQ(reads[i](h, small.data(), static_cast<int>(data.size()) - 1), -1);
        EXPECT_EQ(QnGetLastError(h), QN_ERR_BUFFER);
        EXPECT_EQ(small[0], 0);
    }
    // A reader refusal arrives as its status byte.
    Bytes five(5, 0x22);
    EXPECT_EQ(QnWriteParameterBlock6(h, five.data(), 5), -1);
    EXPECT_EQ(QnGetLastError(h), 2);
    Bytes tooLong(101, 0x11);
    EXPECT_EQ(QnWriteParameterBlock3(h, tooLong.data(), 101), -1);
    EXPECT_EQ(QnGetLastError(h), QN_ERR_LENGTH);
}

} // namespace
