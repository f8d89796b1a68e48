#include "duplicates/FileSeparator.h"

#include "platform/NoDestructor.h"

#include "duplicates/ContentHasher.h"
#include "platform/OperationQueue.h"
#include "platform/SerialQueue.h"
#include "scan/FileSystemItem.h"
#include "scan/ScanProblems.h"
#include "settings/Settings.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kestrane {

namespace {

// The separations of a scan follow each other closely, a few files each: an
// idle hashing thread polls this long for the next file before it sleeps, so
// that most hand-offs wake no thread.
constexpr std::chrono::microseconds kHandOffSpin{50};

}  // namespace

// What all separators share: the working queue, and the operation queues of
// finished separations kept for the next ones (only touched on the working
// queue). Starting the threads of a new queue costs more than separating a
// small set, and the duplicate files filter separates thousands of them one
// after another; a queue is still used by one separation at a time.
// Every separator holds this, so it lasts as long as the last of them.
struct FileSeparator::Shared {
    static constexpr std::size_t kMaxIdleOperationQueues = 2;

    std::shared_ptr<platform::SerialQueue> workingQueue = platform::SerialQueue::create("fileseparator.working");
    // Declared after the working queue, destroyed before it.
    std::vector<std::shared_ptr<platform::OperationQueue>> idleOperationQueues;

    static const std::shared_ptr<Shared>& instance() {
        static platform::NoDestructor<const std::shared_ptr<Shared>> shared(std::make_shared<Shared>());
        return *shared;
    }
};

// The options' default is the hasher's, which the settings' table also starts from.
static_assert(SeparationOptions::kDefaultHashBlockSize == ContentHasher::kDefaultHashBlockLength);

std::uint64_t SeparationOptions::partialKeyThreshold() const {
    return hashBlockSize > std::numeric_limits<std::uint64_t>::max() / 3 ? std::numeric_limits<std::uint64_t>::max()
                                                                          : 3 * hashBlockSize;
}

SeparationOptions SeparationOptions::fromSettings(const Settings& settings, bool fullHash) {
    return SeparationOptions{.fullHash = fullHash, .hashBlockSize = settings.hashBlockSize()};
}

std::shared_ptr<FileSeparator> FileSeparator::create(SeparationOptions options) {
    return std::make_shared<FileSeparator>(Private{}, options);
}

FileSeparator::FileSeparator(Private, SeparationOptions options)
    : m_options(options), m_shared(Shared::instance()), m_queueChecker(*m_shared->workingQueue) {}

FileSeparator::~FileSeparator() = default;

platform::SerialQueue& FileSeparator::workingQueue() {
    return *Shared::instance()->workingQueue;
}

void FileSeparator::setPassStartHandlerForTesting(std::function<void(bool fullHash)> handler) {
    m_passStartHandler = std::move(handler);
}

void FileSeparator::separateItemsWithListener(std::vector<FileSystemItem*> items,
                                              std::weak_ptr<FileSeparatorListener> listener,
                                              std::shared_ptr<const void> itemsOwner) {
    m_shared->workingQueue->async([self = shared_from_this(), items = std::move(items), listener = std::move(listener),
                                   itemsOwner = std::move(itemsOwner)]() mutable {
        self->start(std::move(items), std::move(listener), std::move(itemsOwner));
    });
}

void FileSeparator::stop() {
    // At once, so that a start or a batch already queued touches no item: the
    // caller may let the items go as soon as the listener is told.
    m_bIsSeparationCanceled.store(true);
    m_shared->workingQueue->async([self = shared_from_this()] { self->cancelOnWorkingQueue(); });
}

void FileSeparator::start(std::vector<FileSystemItem*> items, std::weak_ptr<FileSeparatorListener> listener,
                          std::shared_ptr<const void> itemsOwner) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_eState != State::idle) return;  // a separator runs once
    m_pListener = std::move(listener);
    m_pItemsOwner = std::move(itemsOwner);
    m_arrItemsByFileContentHash.clear();
    m_arrHashThatNeedToCheckFully.clear();
    m_eState = State::separating;

    if (m_bIsSeparationCanceled.load()) {
        // Stopped before it began: nothing was marked; the listener gets an empty map.
        notify();
        return;
    }
    if (items.size() >= 2) {
        m_nHashBlockSize = m_options.hashBlockSize;
        m_nHashMaxSize = m_options.partialKeyThreshold();
        auto& idle = m_shared->idleOperationQueues;
        if (idle.empty()) {
            m_pFilterOperationQueue = platform::OperationQueue::create("Separating Queue", kMaxConcurrentOperations);
            m_pFilterOperationQueue->setIdleSpin(kHandOffSpin);
        } else {
            m_pFilterOperationQueue = std::move(idle.back());
            idle.pop_back();
        }
        separateItemsWithFullFileHash(std::move(items), m_options.fullHash);
        return;
    }
    if (items.size() == 1) items.front()->setIsCheckedForDuplicates(true);
    notify();
}

void FileSeparator::separateItemsWithFullFileHash(std::vector<FileSystemItem*> items, bool fullHash) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_arrItemsForSeparate = std::move(items);
    indexOfItemsForSeparate = 0;
    m_nCountOfItemsRestToSeparate = 0;
    useFullHash = fullHash;
    if (m_passStartHandler) m_passStartHandler(fullHash);
    continueSeparateItems();
}

std::uint64_t FileSeparator::bytesToReadForItem(const FileSystemItem& item, bool fullHash) const {
    if (!item.isRegularFile() || item.logicalSize() <= 0) return 0;  // a name key, or none
    const auto size = static_cast<std::uint64_t>(item.logicalSize());
    if (fullHash || size < m_nHashMaxSize || m_nHashBlockSize == 0 || m_nHashBlockSize > size / 3) return size;
    // Three blocks; the last one runs from an aligned offset to the end.
    return 3 * m_nHashBlockSize + ContentHasher::kBlockAlignment;
}

void FileSeparator::continueSeparateItems() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const std::size_t batchEnd =
        std::min<std::size_t>(indexOfItemsForSeparate + kBatchSize, m_arrItemsForSeparate.size());
    // Only the items about to be handed out are looked at, and not after a
    // stop: the listener may then drop them.
    std::uint64_t bytesToRead = 0;
    if (!m_bIsSeparationCanceled.load())
        for (std::size_t i = indexOfItemsForSeparate; i < batchEnd && bytesToRead <= kWorkingQueueReadLimit; ++i)
            bytesToRead += bytesToReadForItem(*m_arrItemsForSeparate[i], useFullHash);
    m_bHashOnWorkingQueue = bytesToRead <= kWorkingQueueReadLimit;
    while (indexOfItemsForSeparate < batchEnd) {
        FileSystemItem* item = m_arrItemsForSeparate[indexOfItemsForSeparate];
        ++indexOfItemsForSeparate;
        ++m_nCountOfItemsRestToSeparate;
        addNextItemToSeparateAndCalculateFullFileHash(item, useFullHash);
    }
}

void FileSeparator::addNextItemToSeparateAndCalculateFullFileHash(FileSystemItem* item, bool fullHash) {
    if (m_bIsSeparationCanceled.load()) return;
    item->setIsCheckedForDuplicates(true);
    // The operation gets everything it needs now: after a stop the listener may
    // drop the items (and their tree) while operations already running finish.
    ItemFacts facts{item->path(), std::string(item->name()), item->logicalSize(), item->isRegularFile()};
    auto operation = [self = shared_from_this(), item, facts = std::move(facts), fullHash,
                      blockSize = m_nHashBlockSize, maxSize = m_nHashMaxSize] {
        ContentHasher::KeyResult result;
        bool needsFullCheck = false;
        if (!self->m_bIsSeparationCanceled.load()) {
            result = calculateHashForItemFullHash(facts, fullHash, blockSize, maxSize);
            // Whether a shared partial key must be confirmed; decided here
            // because it may read the file (PNG), which the working queue must
            // not wait for. An empty file's name key needs no confirmation.
            needsFullCheck = result.key && !fullHash && facts.logicalSize > 0 &&
                             ContentHasher::isNeedFullHashBuildForPath(facts.path);
            if (!result.key && facts.isRegularFile && self->m_pScanProblems) {
                using Failure = ContentHasher::Failure;
                const bool changed = result.failure == Failure::changed || result.failure == Failure::notRegularFile;
                self->m_pScanProblems->add(facts.path,
                                           changed ? ScanProblemKind::changedFile : ScanProblemKind::unreadableFile,
                                           result.error);
            }
        }
        // A key computed after a stop would only be dropped: a separation
        // that was stopped sends nothing back from its last operations.
        if (self->m_bIsSeparationCanceled.load()) return;
        // Recorded by a task of its own even when computed on the working
        // queue: keys always come back after the whole batch is handed out,
        // and after whatever was queued meanwhile (a stop).
        self->m_shared->workingQueue->async(
            [self, item, key = std::move(result.key), needsFullCheck, partial = result.partial]() mutable {
                self->recordKey(item, std::move(key), needsFullCheck, partial);
            });
    };
    if (m_bHashOnWorkingQueue)
        operation();
    else
        m_pFilterOperationQueue->addOperation(std::move(operation));
}

ContentHasher::KeyResult FileSeparator::calculateHashForItemFullHash(const ItemFacts& item, bool fullHash,
                                                                     std::uint64_t blockSize, std::uint64_t maxSize) {
    ContentHasher::KeyResult result;
    // Only regular files are ever opened; the hashing routines check again.
    if (!item.isRegularFile) {
        result.failure = ContentHasher::Failure::notRegularFile;
        return result;
    }
    if (item.logicalSize <= 0) {
        result.key = ContentHasher::nameKey(item.name);
        return result;
    }
    // A block length of 0 gives the full key.
    return ContentHasher::keyForListedFile(item.path, static_cast<std::uint64_t>(item.logicalSize),
                                           fullHash ? 0 : blockSize, maxSize, ContentHasher::FileKind::regular);
}

void FileSeparator::recordKey(FileSystemItem* item, std::optional<std::string> key, bool needsFullCheck,
                              bool partial) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bIsSeparationCanceled.load() || m_eState != State::separating) return;
    if (!useFullHash && key && needsFullCheck) m_arrHashThatNeedToCheckFully.insert(*key);
    item->setIsComparedInPart(key && partial);
    saveFileItemWithHash(item, key);
}

void FileSeparator::saveFileItemWithHash(FileSystemItem* item, const std::optional<std::string>& key) {
    if (m_nCountOfItemsRestToSeparate != 0) {
        --m_nCountOfItemsRestToSeparate;
        if (key) m_arrItemsByFileContentHash.addObjectWithSeparatorKey(item, *key);
    }
    if (m_nCountOfItemsRestToSeparate != 0) return;
    if (indexOfItemsForSeparate < m_arrItemsForSeparate.size())
        continueSeparateItems();
    else
        notifyListenerAboutFinish();
}

void FileSeparator::notifyListenerAboutFinish() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bIsSeparationCanceled.load()) {
        for (FileSystemItem* item : m_arrItemsForSeparate) item->setIsCheckedForDuplicates(false);
        m_arrItemsByFileContentHash.clear();
        notify();
        return;
    }
    if (!m_arrHashThatNeedToCheckFully.empty()) {
        std::vector<FileSystemItem*> confirmation;
        for (const std::string& key : m_arrHashThatNeedToCheckFully) {
            const auto* set = m_arrItemsByFileContentHash.find(key);
            if (!set || set->size() < 2) continue;  // a key of one item keeps its partial key
            auto items = m_arrItemsByFileContentHash.take(key);
            confirmation.insert(confirmation.end(), items.begin(), items.end());
        }
        m_arrHashThatNeedToCheckFully.clear();
        if (!confirmation.empty()) {
            separateItemsWithFullFileHash(std::move(confirmation), true);
            return;
        }
    }
    notify();
}

void FileSeparator::cancelOnWorkingQueue() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // Not started yet (start sees the flag and reports), already reported, or
    // reported by an earlier stop.
    if (m_eState != State::separating) return;
    if (m_pFilterOperationQueue) m_pFilterOperationQueue->cancelAllOperations();
    m_nCountOfItemsRestToSeparate = 0;
    notifyListenerAboutFinish();
}

void FileSeparator::notify() {
    m_eState = State::finished;
    // Every key has come back (the last operations may still be returning):
    // the queue can serve the next separation. After a stop, operations may
    // still be reading; the queue then goes with this separator.
    if (m_pFilterOperationQueue && !m_bIsSeparationCanceled.load() &&
        m_shared->idleOperationQueues.size() < Shared::kMaxIdleOperationQueues)
        m_shared->idleOperationQueues.push_back(std::move(m_pFilterOperationQueue));
    FileSeparatorMap result = std::move(m_arrItemsByFileContentHash);
    m_arrItemsByFileContentHash.clear();
    m_arrItemsForSeparate.clear();
    m_arrItemsForSeparate.shrink_to_fit();
    m_arrHashThatNeedToCheckFully.clear();
    auto listener = m_pListener.lock();
    m_pListener.reset();
    // Let go of the items only after the listener saw them: this may free
    // their tree, here on the working queue.
    const std::shared_ptr<const void> itemsOwner = std::move(m_pItemsOwner);
    if (listener) listener->onFinishSeparateItemsByHash(*this, std::move(result));
}

}  // namespace kestrane
