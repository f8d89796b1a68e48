#include "duplicates/LaneScheduler.h"

#include "duplicates/KeyStream.h"
#include "platform/DispatchQueue.h"
#include "platform/NoDestructor.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>

#include <sched.h>
#include <sys/mman.h>

namespace kestrane {

namespace {

// An idle thread polls this long for the next request before it sleeps: the
// separations of a scan submit a few files each, thousands of times in a row.
constexpr std::chrono::microseconds kIdleSpin{50};
// How far past requests of clients that have all their files open a thread
// looks for one it may begin.
constexpr std::size_t kMaxSkipped = 64;
// A thread idle this long gives its lanes' buffers back: between scans, not
// between the separations of one scan, which leave it idle thousands of
// times for a moment (allocating the buffers again each time cost page
// faults and left holes in the heap among the scan's long-lived blocks).
constexpr std::chrono::seconds kIdleBeforeRelease{1};
// A thread with plenty of queued files to go on with hands its keys back in
// batches of this many: every hand-off may wake the thread that takes them.
constexpr std::size_t kKeysPerHandOff = 64;
// Each lane's buffer: the data (with an incomplete block carried over at its
// start), then room for the padding.
constexpr std::size_t kLaneStride = LaneScheduler::kLaneBufferLength + 128;
static_assert(LaneScheduler::kLaneBufferLength % 4096 == 0 && kLaneStride % 64 == 0);
static_assert(Md5Lanes::kMaxPadding <= kLaneStride - LaneScheduler::kLaneBufferLength);

unsigned processorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

// The lanes' buffers, mapped on their own, out of the heap.
class LaneBuffers {
public:
    explicit LaneBuffers(std::size_t length) : m_length(length) {
        void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        m_data = static_cast<unsigned char*>(mapped);
    }
    ~LaneBuffers() { ::munmap(m_data, m_length); }
    LaneBuffers(const LaneBuffers&) = delete;
    LaneBuffers& operator=(const LaneBuffers&) = delete;
    unsigned char* data() const { return m_data; }

private:
    unsigned char* m_data = nullptr;
    std::size_t m_length;
};

}  // namespace

struct LaneScheduler::Queue {
    struct Queued {
        std::shared_ptr<Client> client;
        Request request;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Queued> requests;
    std::atomic<std::size_t> queuedCount{0};  // polled without the lock
    unsigned sleeping = 0;
    bool stopping = false;

    // Moves up to `wanted` requests that may begin now into `taken`, counting
    // their files as open. With `wait`, sleeps until there is one (or the
    // scheduler stops: false). Leaves half of a queue for a sleeping thread.
    // onLongSleep runs (under the lock) when the wait has lasted kIdleBeforeRelease.
    bool take(std::size_t wanted, bool wait, std::vector<Queued>& taken, const std::function<void()>& onLongSleep);
    static void closed(Client& client) { client.m_openFiles.fetch_sub(1, std::memory_order_relaxed); }
};

bool LaneScheduler::Queue::take(std::size_t wanted, bool wait, std::vector<Queued>& taken,
                                const std::function<void()>& onLongSleep) {
    if (!wait && queuedCount.load(std::memory_order_relaxed) == 0) return true;
    if (wait) platform::spinUntil(kIdleSpin, [&] { return queuedCount.load(std::memory_order_relaxed) != 0; });
    std::unique_lock lock(mutex);
    if (wait && requests.empty() && !stopping) {
        const auto ready = [&] { return stopping || !requests.empty(); };
        ++sleeping;
        if (!wake.wait_for(lock, kIdleBeforeRelease, ready)) {
            if (onLongSleep) onLongSleep();
            wake.wait(lock, ready);
        }
        --sleeping;
    }
    if (stopping) return false;
    std::size_t limit = wanted;
    if (sleeping > 0 && requests.size() > 1) limit = std::min(limit, (requests.size() + 1) / 2);
    std::size_t skipped = 0;
    for (auto it = requests.begin(); it != requests.end() && taken.size() < limit && skipped < kMaxSkipped;) {
        Client& client = *it->client;
        if (!client.wantsKeys()) {
            it = requests.erase(it);
            continue;
        }
        if (client.m_openFiles.load(std::memory_order_relaxed) >= kMaxOpenFilesPerClient) {
            ++it;
            ++skipped;
            continue;
        }
        client.m_openFiles.fetch_add(1, std::memory_order_relaxed);
        taken.push_back(std::move(*it));
        it = requests.erase(it);
    }
    queuedCount.store(requests.size(), std::memory_order_relaxed);
    if (!requests.empty() && sleeping > 0) wake.notify_one();
    return true;
}

// One hashing thread with its lanes.
class LaneScheduler::Worker {
public:
    Worker(std::shared_ptr<Queue> queue, std::optional<Md5Lanes::Kernel> kernel)
        : m_queue(std::move(queue)), m_kernel(kernel), m_thread([this] { run(); }) {}
    ~Worker() { m_thread.join(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

private:
    struct Lane {
        std::shared_ptr<Client> client;  // null: the lane is free
        std::uint32_t tag = 0;
        std::optional<KeyStream> stream;  // in place: one allocation less per file
        bool counted = false;  // its file counts as open for the client
        unsigned char* buffer = nullptr;
        const unsigned char* cursor = nullptr;
        std::size_t blocks = 0;  // whole blocks from cursor on
        std::size_t length = 0;  // bytes in the buffer
        bool last = false;       // the buffer ends the message
    };

    void run();
    void runOneAtATime();
    void runLanes();
    void begin(std::size_t lane, Queue::Queued queued);
    // Reads the lane's next piece; at the end of the file or on a failure,
    // the lane's file is closed (and a failure delivered, freeing the lane).
    void refill(std::size_t lane);
    void finish(std::size_t lane, ContentHasher::KeyResult key);
    void closeFile(Lane& lane);
    void deliver();

    std::shared_ptr<Queue> m_queue;
    std::optional<Md5Lanes::Kernel> m_kernel;
    std::optional<Md5Lanes> m_md5;
    std::vector<Lane> m_lanes;
    std::size_t m_busy = 0;
    std::unique_ptr<LaneBuffers> m_buffers;
    std::vector<std::pair<std::shared_ptr<Client>, Result>> m_results;
    std::vector<Queue::Queued> m_taken;
    std::thread m_thread;  // last: starts once everything above is made
};

void LaneScheduler::Worker::run() {
    if (m_kernel)
        runLanes();
    else
        runOneAtATime();
}

void LaneScheduler::Worker::runOneAtATime() {
    for (;;) {
        m_taken.clear();
        if (!m_queue->take(1, true, m_taken, {})) return;
        for (auto& queued : m_taken) {
            const Request& request = queued.request;
            Result result{request.tag,
                          ContentHasher::keyForListedFile(request.path, request.listedSize, request.blockLength,
                                                          request.threshold, ContentHasher::FileKind::regular),
                          std::move(queued.request.path)};
            Queue::closed(*queued.client);
            m_results.emplace_back(std::move(queued.client), std::move(result));
        }
        deliver();
    }
}

void LaneScheduler::Worker::runLanes() {
    m_md5.emplace(*m_kernel);
    m_lanes = std::vector<Lane>(m_md5->laneCount());  // a lane's stream stays where it is made
    std::vector<const unsigned char*> blocks(m_lanes.size());
    bool stopping = false;
    for (;;) {
        // Free lanes take the next files (waiting for some when none is busy).
        const std::size_t free = m_lanes.size() - m_busy;
        if (free > 0 && !stopping) {
            if (m_busy == 0) deliver();
            m_taken.clear();
            const bool wait = m_busy == 0;
            // A thread that sleeps long gives its buffers back.
            stopping = !m_queue->take(free, wait, m_taken, [this] { m_buffers.reset(); });
            if (!m_taken.empty() && !m_buffers) {
                m_buffers = std::make_unique<LaneBuffers>(kLaneStride * m_lanes.size());
                for (std::size_t l = 0; l < m_lanes.size(); ++l) m_lanes[l].buffer = m_buffers->data() + l * kLaneStride;
            }
            std::size_t lane = 0;
            for (auto& queued : m_taken) {
                while (m_lanes[lane].client) ++lane;
                begin(lane, std::move(queued));
            }
        }
        if (m_busy == 0) {
            deliver();
            if (stopping) return;
            continue;
        }
        // One call of the kernel: as many blocks as the lane with the fewest has ready.
        std::size_t count = SIZE_MAX;
        for (std::size_t l = 0; l < m_lanes.size(); ++l) {
            const Lane& lane = m_lanes[l];
            blocks[l] = lane.client ? lane.cursor : nullptr;
            if (lane.client) count = std::min(count, lane.blocks);
        }
        m_md5->compress(blocks.data(), count);
        for (std::size_t l = 0; l < m_lanes.size(); ++l) {
            Lane& lane = m_lanes[l];
            if (!lane.client) continue;
            lane.cursor += 64 * count;
            lane.blocks -= count;
            if (lane.blocks > 0) continue;
            if (lane.last)
                finish(l, lane.stream->key(m_md5->digest(l)));
            else
                refill(l);
        }
        // Keys are handed back at once when the queue runs short of files
        // for the lanes: the clients' next files may depend on them.
        if (m_results.size() >= kKeysPerHandOff ||
            m_queue->queuedCount.load(std::memory_order_relaxed) < m_lanes.size())
            deliver();
    }
}

void LaneScheduler::Worker::begin(std::size_t l, Queue::Queued queued) {
    Lane& lane = m_lanes[l];
    const Request& request = queued.request;
    lane.client = std::move(queued.client);
    lane.tag = request.tag;
    lane.counted = true;
    lane.last = false;
    lane.length = 0;
    lane.stream.emplace(std::move(queued.request.path), request.listedSize, request.blockLength, request.threshold);
    ++m_busy;
    if (!lane.stream->begin()) return finish(l, lane.stream->result());
    m_md5->start(l);
    refill(l);
}

void LaneScheduler::Worker::refill(std::size_t l) {
    Lane& lane = m_lanes[l];
    // The incomplete block at the end of the last piece starts the next one.
    const std::size_t carry = lane.length % 64;
    if (carry > 0) std::memmove(lane.buffer, lane.buffer + lane.length - carry, carry);
    for (std::size_t kept = carry;; kept = lane.length) {
        const KeyStream::Fill fill = lane.stream->fill(lane.buffer, LaneScheduler::kLaneBufferLength, kept, lane.length);
        if (fill == KeyStream::Fill::failed) return finish(l, lane.stream->result());
        lane.cursor = lane.buffer;
        lane.blocks = lane.length / 64;
        if (fill == KeyStream::Fill::last) {
            lane.last = true;
            closeFile(lane);
            return;
        }
        if (lane.blocks > 0) return;
        // Not one whole block yet (a short block of a partial key): read on.
    }
}

void LaneScheduler::Worker::finish(std::size_t l, ContentHasher::KeyResult key) {
    Lane& lane = m_lanes[l];
    closeFile(lane);
    m_results.emplace_back(std::move(lane.client), Result{lane.tag, std::move(key), lane.stream->takePath()});
    lane.client.reset();
    lane.stream.reset();
    lane.blocks = 0;
    lane.length = 0;
    --m_busy;
}

void LaneScheduler::Worker::closeFile(Lane& lane) {
    if (!lane.counted) return;
    lane.counted = false;
    Queue::closed(*lane.client);
}

void LaneScheduler::Worker::deliver() {
    if (m_results.empty()) return;
    std::stable_sort(m_results.begin(), m_results.end(),
                     [](const auto& a, const auto& b) { return a.first.get() < b.first.get(); });
    std::vector<Result> keys;
    for (std::size_t i = 0; i < m_results.size();) {
        Client& client = *m_results[i].first;
        keys.clear();
        for (; i < m_results.size() && m_results[i].first.get() == &client; ++i)
            keys.push_back(std::move(m_results[i].second));
        client.onKeys(keys);
    }
    m_results.clear();
}

LaneScheduler& LaneScheduler::shared() {
    static platform::NoDestructor<LaneScheduler> scheduler([] {
        std::optional<Md5Lanes::Kernel> kernel;
        const auto supported = Md5Lanes::supportedKernels();
        if (!supported.empty()) kernel = supported.front();
        // For measuring one kernel against another, or against OpenSSL.
        if (const char* name = std::getenv("KESTRANE_MD5_KERNEL")) {
            const std::string_view wanted(name);
            if (wanted == "openssl") kernel.reset();
            const auto named = Md5Lanes::kernelNamed(wanted);
            if (named && std::find(supported.begin(), supported.end(), *named) != supported.end()) kernel = named;
        }
        return kernel;
    }(), std::min(8u, processorCount()));
    return *scheduler;
}

LaneScheduler::LaneScheduler(std::optional<Md5Lanes::Kernel> kernel, unsigned threadCount)
    : m_kernel(kernel), m_threadCount(std::max(1u, threadCount)), m_queue(std::make_shared<Queue>()) {
    for (unsigned i = 0; i < m_threadCount; ++i) m_workers.push_back(std::make_unique<Worker>(m_queue, m_kernel));
}

LaneScheduler::~LaneScheduler() {
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stopping = true;
        m_queue->requests.clear();
        m_queue->queuedCount = 0;
    }
    m_queue->wake.notify_all();
    m_workers.clear();  // joins each thread once its lanes are done
}

void LaneScheduler::submit(const std::shared_ptr<Client>& client, std::vector<Request> requests) {
    if (requests.empty()) return;
    const std::size_t count = requests.size();
    bool wakeAll = false;
    {
        std::lock_guard lock(m_queue->mutex);
        if (m_queue->stopping) return;
        for (auto& request : requests) m_queue->requests.push_back({client, std::move(request)});
        m_queue->queuedCount.store(m_queue->requests.size(), std::memory_order_relaxed);
        if (m_queue->sleeping == 0) return;
        wakeAll = count > 1;
    }
    if (wakeAll)
        m_queue->wake.notify_all();
    else
        m_queue->wake.notify_one();
}

}  // namespace kestrane
