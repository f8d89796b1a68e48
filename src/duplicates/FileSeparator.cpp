#include "duplicates/FileSeparator.h"

#include "platform/NoDestructor.h"

#include "duplicates/ContentHasher.h"
#include "duplicates/LaneScheduler.h"
#include "platform/SerialQueue.h"
#include "platform/TaskInbox.h"
#include "scan/FileSystemItem.h"
#include "scan/ScanProblems.h"
#include "settings/Settings.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <utility>

namespace kestrane {

// What all separators share: the working queue. Every separator holds this,
// so it lasts as long as the last of them.
struct FileSeparator::Shared {
    std::shared_ptr<platform::SerialQueue> workingQueue = platform::SerialQueue::create("fileseparator.working");
    // The keys of every separation, on their way from the hashing threads.
    platform::TaskInbox keys{*workingQueue};

    static const std::shared_ptr<Shared>& instance() {
        static platform::NoDestructor<const std::shared_ptr<Shared>> shared(std::make_shared<Shared>());
        return *shared;
    }
};

// One pass handed to the lane scheduler: the way back to the working queue.
// It keeps the separator alive while keys are on their way.
class FileSeparator::Pass final : public LaneScheduler::Client, public std::enable_shared_from_this<Pass> {
public:
    // decidesFullCheck: whether a shared key of a doubtful type is to be
    // confirmed (a first pass of partial keys outside full-hash mode).
    Pass(std::shared_ptr<FileSeparator> separator, bool decidesFullCheck)
        : m_separator(std::move(separator)), m_decidesFullCheck(decidesFullCheck) {}

    bool wantsKeys() const override { return !m_separator->m_bIsSeparationCanceled.load(); }

    void onKeys(std::vector<LaneScheduler::Result>& keys) override {
        FileSeparator& separator = *m_separator;
        std::vector<ComputedKey> computed;
        computed.reserve(keys.size());
        for (auto& [tag, result, path] : keys) {
            if (separator.m_bIsSeparationCanceled.load()) return;
            // Decided here because it may read the file (PNG), which the
            // working queue must not wait for. A full key already covers
            // every byte: there is nothing to confirm.
            const bool needsFullCheck = result.key && result.partial && m_decidesFullCheck &&
                                        ContentHasher::isNeedFullHashBuildForPath(path);
            if (!result.key && separator.m_pScanProblems) {
                using Failure = ContentHasher::Failure;
                const bool changed = result.failure == Failure::changed || result.failure == Failure::notRegularFile;
                separator.m_pScanProblems->add(
                    path, changed ? ScanProblemKind::changedFile : ScanProblemKind::unreadableFile, result.error);
            }
            computed.push_back(
                {tag, std::move(result.key), needsFullCheck, result.partial, {result.identity, result.modification}});
        }
        // A key computed after a stop would only be dropped.
        if (separator.m_bIsSeparationCanceled.load()) return;
        separator.m_shared->keys.post([pass = shared_from_this(), computed = std::move(computed)]() mutable {
            pass->m_separator->recordKeys(*pass, computed);
        });
    }

private:
    std::shared_ptr<FileSeparator> m_separator;
    const bool m_decidesFullCheck;
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
        // Full-hash mode tells files apart by partial keys first.
        m_bStagedFullHash = m_options.fullHash;
        separateItemsWithFullFileHash(std::move(items), false);
        return;
    }
    if (items.size() == 1) items.front()->setIsCheckedForDuplicates(true);
    notify();
}

void FileSeparator::separateItemsWithFullFileHash(std::vector<FileSystemItem*> items, bool fullHash) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_arrItemsForSeparate = std::move(items);
    m_nCountOfItemsRestToSeparate = 0;
    useFullHash = fullHash;
    if (m_passStartHandler) m_passStartHandler(fullHash);

    auto pass = std::make_shared<Pass>(shared_from_this(), !fullHash && !m_bStagedFullHash);
    m_pCurrentPass = pass.get();
    std::vector<LaneScheduler::Request> requests;
    std::vector<ItemFacts> facts;  // by the item's index in the pass
    facts.reserve(m_arrItemsForSeparate.size());
    for (std::size_t index = 0; index < m_arrItemsForSeparate.size(); ++index) {
        // After a stop no item is marked: the listener may then drop them.
        if (m_bIsSeparationCanceled.load()) break;
        FileSystemItem* item = m_arrItemsForSeparate[index];
        item->setIsCheckedForDuplicates(true);
        // The hashing threads get everything they need now: after a stop the
        // listener may drop the items (and their tree) while keys are still computed.
        // The name only keys an empty file.
        const std::int64_t size = item->logicalSize();
        facts.push_back({size <= 0 ? std::string(item->name()) : std::string(), size, item->isRegularFile()});
        if (!item->isRegularFile() || size <= 0) continue;  // no key, or a name key: below
        ++m_nCountOfItemsRestToSeparate;
        // The path travels with the request and comes back with its key.
        requests.push_back({item->path(), static_cast<std::uint64_t>(size),
                            fullHash ? 0 : m_nHashBlockSize, m_nHashMaxSize, static_cast<std::uint32_t>(index)});
    }
    // Only regular files are ever opened; an empty one is keyed by its name.
    for (std::size_t index = 0; index < facts.size(); ++index) {
        const ItemFacts& item = facts[index];
        if (!item.isRegularFile)
            recordKey(m_arrItemsForSeparate[index], std::nullopt, false, false);
        else if (item.logicalSize <= 0)
            recordKey(m_arrItemsForSeparate[index], ContentHasher::nameKey(item.name), false, false);
    }
    if (requests.empty()) {
        notifyListenerAboutFinish();
        return;
    }
    LaneScheduler::shared().submit(pass, std::move(requests));
}

void FileSeparator::recordKeys(const Pass& pass, std::vector<ComputedKey>& keys) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (&pass != m_pCurrentPass || m_bIsSeparationCanceled.load() || m_eState != State::separating) return;
    for (ComputedKey& computed : keys)
        recordKey(m_arrItemsForSeparate[computed.index], std::move(computed.key), computed.needsFullCheck,
                  computed.partial, computed.read);
    m_nCountOfItemsRestToSeparate -= std::min<std::uint64_t>(keys.size(), m_nCountOfItemsRestToSeparate);
    if (m_nCountOfItemsRestToSeparate == 0) notifyListenerAboutFinish();
}

void FileSeparator::recordKey(FileSystemItem* item, std::optional<std::string> key, bool needsFullCheck,
                              bool partial, const ScanFacts& read) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bIsSeparationCanceled.load() || m_eState != State::separating) return;
    if (key && read.isUsable()) m_readFacts.emplace_back(item, read);
    if (!useFullHash && key && needsFullCheck) m_arrHashThatNeedToCheckFully.insert(*key);
    item->setIsComparedInPart(key && partial);
    saveFileItemWithHash(item, std::move(key));
}

void FileSeparator::saveFileItemWithHash(FileSystemItem* item, std::optional<std::string> key) {
    if (key) m_arrItemsByFileContentHash.addObjectWithSeparatorKey(item, std::move(*key));
}

std::vector<FileSystemItem*> FileSeparator::takeItemsToConfirm() {
    std::vector<FileSystemItem*> confirmation;
    if (m_bStagedFullHash) {
        // Full-hash mode: every shared partial key is read whole. Keys of
        // files under three blocks are full keys already.
        std::vector<std::string> shared;
        for (const auto& [key, set] : m_arrItemsByFileContentHash)
            if (set.size() >= 2 && std::any_of(set.begin(), set.end(), [](const FileSystemItem* item) {
                    return item->isComparedInPart();
                }))
                shared.push_back(key);
        for (const std::string& key : shared) {
            auto items = m_arrItemsByFileContentHash.take(key);
            confirmation.insert(confirmation.end(), items.begin(), items.end());
        }
        // The others stay alone under their partial key: nothing in a group was compared in part.
        for (auto& [key, set] : m_arrItemsByFileContentHash)
            for (FileSystemItem* item : set) item->setIsComparedInPart(false);
        return confirmation;
    }
    for (const std::string& key : m_arrHashThatNeedToCheckFully) {
        const auto* set = m_arrItemsByFileContentHash.find(key);
        if (!set || set->size() < 2) continue;  // a key of one item keeps its partial key
        auto items = m_arrItemsByFileContentHash.take(key);
        confirmation.insert(confirmation.end(), items.begin(), items.end());
    }
    return confirmation;
}

void FileSeparator::notifyListenerAboutFinish() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_pCurrentPass = nullptr;
    if (m_bIsSeparationCanceled.load()) {
        for (FileSystemItem* item : m_arrItemsForSeparate) item->setIsCheckedForDuplicates(false);
        m_arrItemsByFileContentHash.clear();
        notify();
        return;
    }
    if (m_bStagedFullHash || !m_arrHashThatNeedToCheckFully.empty()) {
        std::vector<FileSystemItem*> confirmation = takeItemsToConfirm();
        m_arrHashThatNeedToCheckFully.clear();
        m_bStagedFullHash = false;
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
    // reported by an earlier stop. Keys still on their way are dropped.
    if (m_eState != State::separating) return;
    m_nCountOfItemsRestToSeparate = 0;
    notifyListenerAboutFinish();
}

void FileSeparator::notify() {
    m_eState = State::finished;
    m_pCurrentPass = nullptr;
    // By item, each item's facts in the order they came: a confirmation pass
    // read the file last, so its facts are the ones to keep.
    const auto byItem = [](const auto& a, const auto& b) { return std::less<>()(a.first, b.first); };
    std::stable_sort(m_readFacts.begin(), m_readFacts.end(), byItem);
    for (const auto& [key, set] : m_arrItemsByFileContentHash) {
        if (set.size() < 2) continue;
        for (FileSystemItem* item : set) {
            const std::pair<FileSystemItem*, ScanFacts> probe{item, {}};
            const auto after = std::upper_bound(m_readFacts.begin(), m_readFacts.end(), probe, byItem);
            if (after != m_readFacts.begin() && std::prev(after)->first == item)
                item->rememberScanFacts(std::prev(after)->second);
        }
    }
    m_readFacts = {};
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
