#pragma once

#include "duplicates/ContentHasher.h"
#include "duplicates/SeparatorMap.h"
#include "platform/QueueChecker.h"
#include "platform/SerialQueue.h"
#include "scan/FileSystemItem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
}  // namespace platform

class FileSeparator;
class FileSystemItem;
class ScanProblems;
class Settings;

// How the separations of one scan key file contents. Taken from the settings
// once, when the scan starts, and handed down to every separator the scan
// makes, so that changing a setting (or starting another scan with other
// options) never changes how a scan already under way compares files.
struct SeparationOptions {
    static constexpr std::uint64_t kDefaultHashBlockSize = 8192;

    // Full keys for every file, never partial ones.
    bool fullHash = false;
    // The length of each of the three blocks of a partial key.
    std::uint64_t hashBlockSize = kDefaultHashBlockSize;

    // Files of at least this size get a partial key over three blocks (unless
    // fullHash); smaller ones a full key.
    std::uint64_t partialKeyThreshold() const;

    static SeparationOptions fromSettings(const Settings& settings, bool fullHash);

    bool operator==(const SeparationOptions&) const = default;
};

// Content key -> the file items that have it.
using FileSeparatorMap = SeparatorMap<FileSystemItem>;

class FileSeparatorListener {
public:
    virtual ~FileSeparatorListener() = default;
    // Once per separation, on FileSeparator::workingQueue(). The map holds
    // every key computed, sets of one item included; after stop() it is empty.
    virtual void onFinishSeparateItemsByHash(FileSeparator& separator, FileSeparatorMap result) = 0;
};

// Splits a list of file items of equal size into sets of identical content.
//
// Every item gets a content key (ContentHasher): a partial key over three
// blocks for files of at least three blocks, else a full key, and a name key
// for empty files. The options are the separator's own, given when it is made.
// Keys are computed by the process-wide LaneScheduler, which digests the
// files of many separations side by side but opens at most
// kMaxConcurrentOperations files of one separation at a time; a pass hands
// all its files over at once, and the keys of one round of hashing come back
// to the working queue together. When the first pass is over, every partial
// key shared by two or more items of which one is of a doubtful type (see
// ContentHasher::isNeedFullHashBuildForPath) is taken out of the result and
// its items are hashed again in full, in a second (confirmation) pass that
// adds its keys to the same result.
//
// With the options' fullHash every key in a set of two or more is a full key,
// but files are still told apart by partial keys first: only the items of a
// partial key shared by two or more are read whole, in a second pass (files
// whose three blocks differ cannot be identical). An item alone under its
// partial key keeps it, and is not marked compared in part.
//
// Items that can't be read (or are not regular files), and files whose size
// is not the listed one or that change while they are read, get no key and
// are in no set (and are noted in the scan's problems, when there are any);
// each item handed to hashing is marked checked for duplicates, and marked
// compared in part when its key is a partial one. An item that shares its key
// with another remembers which file was read and its modification time then
// (FileSystemItem::rememberScanFacts), so that nothing needs to look the file
// up again by its path to learn what the scan saw.
//
// All bookkeeping runs on the process-wide serial workingQueue(), which also
// calls the listener. A separator is made with create(), runs once and is not
// reused; the work it has handed out keeps it alive until it has finished.
class FileSeparator final : public std::enable_shared_from_this<FileSeparator> {
public:
    // Files of one separation open at a time.
    static constexpr unsigned kMaxConcurrentOperations = 4;

    static std::shared_ptr<FileSeparator> create(SeparationOptions options);
    ~FileSeparator();

    FileSeparator(const FileSeparator&) = delete;
    FileSeparator& operator=(const FileSeparator&) = delete;

    const SeparationOptions& options() const { return m_options; }

    // The serial queue "fileseparator.working" shared by all separators,
    // made on first use.
    static platform::SerialQueue& workingQueue();

    // Starts the separation of the items and returns at once.
    //
    // itemsOwner keeps the items alive (the roots of their tree, or a
    // container that holds them) until the listener has been told: the items
    // are marked, read and, after a stop, unmarked on the working queue,
    // possibly after every other owner let go. Without it the caller must keep
    // the items alive until the listener is told.
    void separateItemsWithListener(std::vector<FileSystemItem*> items, std::weak_ptr<FileSeparatorListener> listener,
                                   std::shared_ptr<const void> itemsOwner = nullptr);

    // Cancels the separation from any thread: from now on no file is read and
    // no item is marked; on the working queue, the items of the current pass
    // lose their checked mark and the listener gets an empty map. Nothing
    // happens after the listener was told.
    void stop();

    // Where files that cannot be read, or change while they are read, are
    // noted; without it they are only left out. Set before starting.
    void setScanProblems(std::shared_ptr<ScanProblems> problems) { m_pScanProblems = std::move(problems); }

    // Test hook: called on the working queue at the start of each pass, before
    // any of its items is handed out, with whether the pass computes full keys
    // (in full-hash mode: whether it is the second pass).
    void setPassStartHandlerForTesting(std::function<void(bool fullHash)> handler);

private:
    struct Private {};

public:
    FileSeparator(Private, SeparationOptions options);

private:
    enum class State { idle, separating, finished };
    struct Shared;
    class Pass;
    // What a pass needs of an item, taken as the pass is made.
    struct ItemFacts {
        std::string name;  // of an empty file only
        std::int64_t logicalSize = 0;
        bool isRegularFile = false;
    };
    // A key computed for the item at `index` of the current pass.
    struct ComputedKey {
        std::uint32_t index = 0;
        std::optional<std::string> key;
        bool needsFullCheck = false;
        bool partial = false;
        ScanFacts read;  // the file the key was computed from
    };

    void start(std::vector<FileSystemItem*> items, std::weak_ptr<FileSeparatorListener> listener,
               std::shared_ptr<const void> itemsOwner);
    // Hands every item of a pass over for hashing; in full mode with
    // fullHash, in partial mode (the first pass of full-hash mode included)
    // without.
    void separateItemsWithFullFileHash(std::vector<FileSystemItem*> items, bool fullHash);
    void recordKeys(const Pass& pass, std::vector<ComputedKey>& keys);
    void recordKey(FileSystemItem* item, std::optional<std::string> key, bool needsFullCheck, bool partial,
                   const ScanFacts& read = ScanFacts::unusable());
    void saveFileItemWithHash(FileSystemItem* item, std::optional<std::string> key);
    void notifyListenerAboutFinish();
    // The partial keys shared by two or more items that must be confirmed by
    // full keys: the marked ones, or in full-hash mode all of them; their
    // items leave the result for the confirmation pass.
    std::vector<FileSystemItem*> takeItemsToConfirm();
    void cancelOnWorkingQueue();
    void notify();

    const SeparationOptions m_options;
    std::weak_ptr<FileSeparatorListener> m_pListener;
    // What keeps the items alive while this separator may touch them;
    // released once the listener was told.
    std::shared_ptr<const void> m_pItemsOwner;
    std::vector<FileSystemItem*> m_arrItemsForSeparate;
    // The keys of the current pass not back yet.
    std::uint64_t m_nCountOfItemsRestToSeparate = 0;
    bool useFullHash = false;
    // The first pass of a full-hash separation: partial keys that are all
    // confirmed by full keys when shared.
    bool m_bStagedFullHash = false;
    const Pass* m_pCurrentPass = nullptr;
    FileSeparatorMap m_arrItemsByFileContentHash;
    std::unordered_set<std::string> m_arrHashThatNeedToCheckFully;
    // What file each key was computed from, in the order the keys came (a
    // confirmation pass after the first); given to the items that share a key
    // when the separation ends (an item alone under its key never needs it).
    std::vector<std::pair<FileSystemItem*, ScanFacts>> m_readFacts;
    std::uint64_t m_nHashBlockSize = 0;
    std::uint64_t m_nHashMaxSize = 0;
    // Set by stop() at once (any thread); read on the working queue and, to
    // skip reading files after a stop, by the hashing threads. The end of a
    // stop (unmarking, telling the listener) is queued on the working queue.
    std::atomic<bool> m_bIsSeparationCanceled{false};
    State m_eState = State::idle;
    std::shared_ptr<Shared> m_shared;
    platform::QueueChecker m_queueChecker;  // the working queue
    std::function<void(bool)> m_passStartHandler;
    std::shared_ptr<ScanProblems> m_pScanProblems;
};

}  // namespace kestrane
