#include "duplicates/LaneScheduler.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using test::noise;
using test::TempDir;

// Collects the keys a client is given; counts the files under `watched` that
// the process has open each time keys arrive.
class CollectingClient final : public LaneScheduler::Client {
public:
    CollectingClient(std::size_t expected, std::string watched = {})
        : m_expected(expected), m_watched(std::move(watched)) {}

    void onKeys(std::vector<LaneScheduler::Result>& keys) override {
        const std::size_t open = m_watched.empty() ? 0 : openFilesUnder(m_watched);
        std::lock_guard lock(m_mutex);
        mostOpen = std::max(mostOpen, open);
        for (auto& result : keys) {
            EXPECT_TRUE(results.emplace(result.tag, std::move(result.key)).second) << "tag " << result.tag << " twice";
            paths.emplace(result.tag, std::move(result.path));
        }
        if (results.size() == m_expected && !m_done) {
            m_done = true;
            m_finished.set_value();
        }
    }
    bool wantsKeys() const override { return wanted.load(); }

    bool wait() { return m_finished.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready; }

    std::map<std::uint32_t, ContentHasher::KeyResult> results;
    std::map<std::uint32_t, std::string> paths;  // handed back with the keys
    std::size_t mostOpen = 0;
    std::atomic<bool> wanted{true};

private:
    static std::size_t openFilesUnder(const std::string& folder) {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const auto target = std::filesystem::read_symlink(entry.path(), error);
            if (!error && target.string().rfind(folder + "/", 0) == 0) ++count;
        }
        return count;
    }

    std::size_t m_expected;
    std::string m_watched;
    std::mutex m_mutex;
    std::promise<void> m_finished;
    bool m_done = false;
};

class LaneSchedulerTest : public ::testing::TestWithParam<std::optional<Md5Lanes::Kernel>> {
protected:
    LaneScheduler m_scheduler{GetParam(), 2};
    TempDir m_dir;
};

TEST_P(LaneSchedulerTest, KeysAreThoseOfTheHasherForEverySizeAroundBlocksAndBuffers) {
    // Every size up to five MD5 blocks, the sizes around the read chunk, the
    // partial-key threshold and the lane buffer, and random sizes up to a few
    // buffers; each file keyed whole, with the default blocks, and with blocks
    // of 12288 bytes (read in 8192-byte chunks, so a block reads past its
    // length). Three clients share the lanes; files of every size finish at
    // different times.
    std::vector<std::uint64_t> sizes;
    for (std::uint64_t size = 1; size <= 5 * 64 + 1; ++size) sizes.push_back(size);
    for (std::uint64_t edge : {4096u, 8192u, 12288u, 24576u, 32768u, 36864u, 65536u, 98304u})
        for (std::uint64_t delta : {-1, 0, 1}) sizes.push_back(edge + delta);
    std::mt19937 random(11);
    for (int i = 0; i < 40; ++i) sizes.push_back(1 + random() % 300000);

    const std::pair<std::uint64_t, std::uint64_t> modes[] = {{0, 0}, {8192, 24576}, {12288, 36864}};
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        paths.push_back(m_dir.writeFile("f" + std::to_string(i), noise(sizes[i], static_cast<std::uint32_t>(i))));

    std::vector<std::shared_ptr<CollectingClient>> clients;
    for (const auto& [block, threshold] : modes) {
        auto client = std::make_shared<CollectingClient>(sizes.size());
        std::vector<LaneScheduler::Request> requests;
        for (std::size_t i = 0; i < sizes.size(); ++i)
            requests.push_back({paths[i], sizes[i], block, threshold, static_cast<std::uint32_t>(i)});
        m_scheduler.submit(client, std::move(requests));
        clients.push_back(std::move(client));
    }
    for (std::size_t m = 0; m < clients.size(); ++m) {
        ASSERT_TRUE(clients[m]->wait()) << "keys missing for mode " << m;
        const auto [block, threshold] = modes[m];
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const auto expected = ContentHasher::keyForListedFile(paths[i], sizes[i], block, threshold);
            const auto& got = clients[m]->results.at(static_cast<std::uint32_t>(i));
            ASSERT_TRUE(got.key) << sizes[i] << " bytes, mode " << m;
            EXPECT_EQ(got.key, expected.key) << sizes[i] << " bytes, block " << block;
            EXPECT_EQ(got.partial, expected.partial) << sizes[i] << " bytes, block " << block;
            EXPECT_EQ(clients[m]->paths.at(static_cast<std::uint32_t>(i)), paths[i]);
        }
    }
}

TEST_P(LaneSchedulerTest, FilesThatCannotBeKeyedFailAsTheHasherSays) {
    const std::string fine = m_dir.writeFile("fine.txt", noise(50000, 1));
    const std::string shrunk = m_dir.writeFile("shrunk.txt", noise(30000, 2));
    const std::string fifo = m_dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<LaneScheduler::Request> requests{
        {fine, 50000, 8192, 24576, 0},
        {m_dir / "missing", 100, 0, 0, 1},
        {shrunk, 40000, 0, 0, 2},      // listed larger than it is
        {shrunk, 40000, 8192, 24576, 3},
        {fifo, 10, 0, 0, 4},           // listed as a file, a FIFO now
    };
    auto client = std::make_shared<CollectingClient>(requests.size());
    m_scheduler.submit(client, requests);
    ASSERT_TRUE(client->wait());
    for (const auto& request : requests) {
        const auto expected = ContentHasher::keyForListedFile(request.path, request.listedSize, request.blockLength,
                                                              request.threshold);
        const auto& got = client->results.at(request.tag);
        EXPECT_EQ(got.key, expected.key) << request.path;
        EXPECT_EQ(got.failure, expected.failure) << request.path;
        EXPECT_EQ(got.error, expected.error) << request.path;
        EXPECT_EQ(client->paths.at(request.tag), request.path) << "a failure names its file";
    }
    EXPECT_TRUE(client->results.at(0).key);
    EXPECT_EQ(client->results.at(1).failure, ContentHasher::Failure::cannotOpen);
    EXPECT_EQ(client->results.at(2).failure, ContentHasher::Failure::changed);
    EXPECT_EQ(client->results.at(4).failure, ContentHasher::Failure::notRegularFile);
}

TEST_P(LaneSchedulerTest, AClientHasAtMostFourFilesOpenAndItsRequestsStopWhenItNoLongerWantsKeys) {
    // Files of several lane buffers each stay open across many rounds.
    const std::string folder = m_dir.makeDir("big");
    std::vector<LaneScheduler::Request> requests;
    for (std::uint32_t i = 0; i < 24; ++i)
        requests.push_back({m_dir.writeFile("big/" + std::to_string(i), noise(400000, i)), 400000, 0, 0, i});
    auto client = std::make_shared<CollectingClient>(requests.size(), folder);
    m_scheduler.submit(client, requests);
    ASSERT_TRUE(client->wait());
    EXPECT_LE(client->mostOpen, LaneScheduler::kMaxOpenFilesPerClient);

    // A client that stops wanting keys gets none of those not begun, and is let go.
    auto stopping = std::make_shared<CollectingClient>(requests.size());
    stopping->wanted = false;
    std::weak_ptr<CollectingClient> gone = stopping;
    m_scheduler.submit(stopping, requests);
    auto last = std::make_shared<CollectingClient>(1);
    m_scheduler.submit(last, {requests.front()});  // queued behind: taken once the others are dropped
    ASSERT_TRUE(last->wait());
    EXPECT_TRUE(stopping->results.empty());
    stopping.reset();
    EXPECT_TRUE(test::pollUntil([&] { return gone.expired(); }, std::chrono::seconds(20)));
}

std::string kernelName(const ::testing::TestParamInfo<std::optional<Md5Lanes::Kernel>>& info) {
    return info.param ? std::string(Md5Lanes::nameOf(*info.param)) : "openssl";
}

std::vector<std::optional<Md5Lanes::Kernel>> everyWay() {
    std::vector<std::optional<Md5Lanes::Kernel>> ways{std::nullopt};
    for (const auto kernel : Md5Lanes::supportedKernels()) ways.emplace_back(kernel);
    return ways;
}

INSTANTIATE_TEST_SUITE_P(Kernels, LaneSchedulerTest, ::testing::ValuesIn(everyWay()), kernelName);

}  // namespace
}  // namespace kestrane
