#pragma once

#include "duplicates/ContentHasher.h"
#include "duplicates/Md5Lanes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

// Computes the content keys of listed files for many separations at once, on
// a few threads of its own (one per processor), each digesting as many files
// side by side as its Md5Lanes kernel has lanes. A lane takes the next file
// as soon as its last one is done, whichever separation it belongs to, so
// small sets of a few small files fill the lanes together; the keys are those
// of ContentHasher::keyForListedFile, with the same checks and failures
// (KeyStream reads the files).
//
// Files are taken in the order they were submitted, but at most
// kMaxOpenFilesPerClient files of one client (a separation) are open at a
// time: that bounds the load a separation puts on the disk, not the digest
// work, which may combine blocks of files of any number of clients.
//
// Without a kernel (a processor without vector units the kernels use, or
// KESTRANE_MD5_KERNEL=openssl) each thread computes one key at a time through
// ContentHasher::keyForListedFile.
class LaneScheduler {
public:
    static constexpr unsigned kMaxOpenFilesPerClient = 4;
    // What each lane reads at a time: a partial key of the default block
    // length, and most small files, in one piece.
    static constexpr std::size_t kLaneBufferLength = 32 * 1024;

    struct Request {
        std::string path;
        std::uint64_t listedSize = 0;
        std::uint64_t blockLength = 0;  // of a partial key; 0 gives the full key
        std::uint64_t threshold = 0;    // from which size a file gets a partial key
        std::uint32_t tag = 0;          // the client's own number for it
    };
    struct Result {
        std::uint32_t tag = 0;
        ContentHasher::KeyResult key;
        std::string path;  // the request's, handed back: the client keeps no copy
    };

    // One user of the scheduler, typically a separation.
    class Client {
    public:
        virtual ~Client() = default;
        // On a hashing thread, with keys computed since the last call (in no
        // particular order). Two threads may call it at the same time.
        virtual void onKeys(std::vector<Result>& keys) = 0;
        // Read on a hashing thread before each request of the client is begun:
        // once false, the client's requests not begun yet are dropped unseen.
        virtual bool wantsKeys() const = 0;

    private:
        friend class LaneScheduler;
        // Files of this client taken by a thread and not yet closed.
        std::atomic<unsigned> m_openFiles{0};
    };

    // The process-wide scheduler: the fastest kernel the processor runs (or
    // the one KESTRANE_MD5_KERNEL names: sse2, avx2, avx512 or openssl), one
    // thread per processor the process may run on (at most 8).
    static LaneScheduler& shared();

    // No kernel: one key at a time per thread, through OpenSSL.
    LaneScheduler(std::optional<Md5Lanes::Kernel> kernel, unsigned threadCount);
    // Requests not begun are dropped; those under way finish and are delivered.
    ~LaneScheduler();
    LaneScheduler(const LaneScheduler&) = delete;
    LaneScheduler& operator=(const LaneScheduler&) = delete;

    std::optional<Md5Lanes::Kernel> kernel() const { return m_kernel; }
    unsigned threadCount() const { return m_threadCount; }

    // Queues the client's requests behind every request queued before; each
    // key goes to client.onKeys. The scheduler holds the client until its
    // last request was delivered or dropped.
    void submit(const std::shared_ptr<Client>& client, std::vector<Request> requests);

private:
    class Worker;
    struct Queue;

    const std::optional<Md5Lanes::Kernel> m_kernel;
    const unsigned m_threadCount;
    std::shared_ptr<Queue> m_queue;
    std::vector<std::unique_ptr<Worker>> m_workers;
};

}  // namespace kestrane
