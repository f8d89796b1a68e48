#include "duplicates/Md5Lanes.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace kestrane {
namespace {

std::array<unsigned char, 16> opensslDigest(const std::string& message) {
    std::array<unsigned char, 16> digest{};
    unsigned int length = 0;
    EVP_Digest(message.data(), message.size(), digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

// Feeds messages through the lanes as a scheduler would: every lane takes
// the next message when its last one is done, and each call of compress runs
// a random number of blocks of a random choice of the lanes that have work,
// so that lanes start, pause and finish at different times. Returns the
// digests in the order of the messages.
std::vector<std::array<unsigned char, 16>> digestThroughLanes(Md5Lanes::Kernel kernel,
                                                             const std::vector<std::string>& messages,
                                                             std::uint32_t seed) {
    Md5Lanes lanes(kernel);
    struct Lane {
        std::size_t message = SIZE_MAX;
        std::string padded;
        std::size_t done = 0;
    };
    std::vector<Lane> work(lanes.laneCount());
    std::vector<std::array<unsigned char, 16>> digests(messages.size());
    std::mt19937 random(seed);
    std::size_t next = 0;
    std::size_t finished = 0;
    while (finished < messages.size()) {
        for (std::size_t l = 0; l < work.size(); ++l) {
            if (work[l].message != SIZE_MAX || next == messages.size()) continue;
            const std::string& message = messages[next];
            work[l] = {next++, message, 0};
            work[l].padded.resize(message.size() + Md5Lanes::kMaxPadding);
            const std::size_t padding = Md5Lanes::appendPadding(
                reinterpret_cast<unsigned char*>(work[l].padded.data()) + message.size(), message.size());
            work[l].padded.resize(message.size() + padding);
            EXPECT_EQ(work[l].padded.size() % 64, 0u);
            lanes.start(l);
        }
        std::vector<const unsigned char*> blocks(work.size(), nullptr);
        std::size_t count = SIZE_MAX;
        for (std::size_t l = 0; l < work.size(); ++l) {
            if (work[l].message == SIZE_MAX || random() % 4 == 0) continue;  // idle, or paused this time
            blocks[l] = reinterpret_cast<const unsigned char*>(work[l].padded.data()) + work[l].done;
            count = std::min(count, (work[l].padded.size() - work[l].done) / 64);
        }
        if (count == SIZE_MAX) continue;
        count = 1 + random() % count;
        lanes.compress(blocks.data(), count);
        for (std::size_t l = 0; l < work.size(); ++l) {
            if (!blocks[l]) continue;
            work[l].done += 64 * count;
            if (work[l].done < work[l].padded.size()) continue;
            digests[work[l].message] = lanes.digest(l);
            work[l].message = SIZE_MAX;
            ++finished;
        }
    }
    return digests;
}

class Md5LanesTest : public ::testing::TestWithParam<Md5Lanes::Kernel> {};

TEST_P(Md5LanesTest, EveryLengthUpToFiveBlocksAndRandomMixesMatchOpenSsl) {
    std::vector<std::string> messages;
    for (std::size_t length = 0; length <= 5 * 64 + 1; ++length)
        messages.push_back(test::noise(length, static_cast<std::uint32_t>(length)));
    // Lanes of very different lengths side by side: random sizes up to 20
    // blocks, then the test vector "abc" and a message of 0xff bytes.
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) messages.push_back(test::noise(random() % 1300, random()));
    messages.push_back("abc");
    messages.push_back(std::string(1000, '\xff'));

    for (std::uint32_t seed : {1u, 2u}) {
        const auto digests = digestThroughLanes(GetParam(), messages, seed);
        for (std::size_t i = 0; i < messages.size(); ++i)
            ASSERT_EQ(digests[i], opensslDigest(messages[i])) << messages[i].size() << " bytes, message " << i;
    }
}

TEST_P(Md5LanesTest, ALaneGivenNoBlocksKeepsItsState) {
    // One message fed block by block while every other lane works on and
    // finishes messages of its own in between.
    const std::string slow = test::noise(640, 3);
    std::string padded = slow + std::string(Md5Lanes::kMaxPadding, '\0');
    padded.resize(slow.size() + Md5Lanes::appendPadding(reinterpret_cast<unsigned char*>(padded.data()) + slow.size(),
                                                         slow.size()));
    Md5Lanes lanes(GetParam());
    const std::string other(64, 'o');
    std::string otherPadded = other + std::string(Md5Lanes::kMaxPadding, '\0');
    otherPadded.resize(64 + Md5Lanes::appendPadding(reinterpret_cast<unsigned char*>(otherPadded.data()) + 64, 64));
    lanes.start(0);
    for (std::size_t done = 0; done < padded.size(); done += 64) {
        std::vector<const unsigned char*> blocks(lanes.laneCount(), nullptr);
        for (std::size_t l = 1; l < lanes.laneCount(); ++l) {
            lanes.start(l);
            blocks[l] = reinterpret_cast<const unsigned char*>(otherPadded.data());
        }
        lanes.compress(blocks.data(), 2);  // lane 0 waits
        for (std::size_t l = 1; l < lanes.laneCount(); ++l) EXPECT_EQ(lanes.digest(l), opensslDigest(other));
        std::fill(blocks.begin(), blocks.end(), nullptr);
        blocks[0] = reinterpret_cast<const unsigned char*>(padded.data()) + done;
        lanes.compress(blocks.data(), 1);
    }
    EXPECT_EQ(lanes.digest(0), opensslDigest(slow));
}

std::string kernelName(const ::testing::TestParamInfo<Md5Lanes::Kernel>& info) {
    return std::string(Md5Lanes::nameOf(info.param));
}

// Every kernel this processor runs; the others cannot be tested here.
INSTANTIATE_TEST_SUITE_P(Kernels, Md5LanesTest, ::testing::ValuesIn(Md5Lanes::supportedKernels()), kernelName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Md5LanesTest);

}  // namespace
}  // namespace kestrane
