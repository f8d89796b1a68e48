#pragma once

// What the removal tests share: a scan of real folders whose copies are
// selected by path, and a removal session run on the main queue with
// questions answered as the test says.
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "platform/Question.h"
#include "removal/DuplicateItemsRemover.h"
#include "removal/DuplicatesDefaultRemover.h"
#include "scan/FileSystemItem.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace kestrane::test {

inline bool existsOnDisk(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

inline std::string contentOf(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    std::string content;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) content.append(buffer, got);
    std::fclose(file);
    return content;
}

// The copy of the scan's result at a path, or null.
inline std::shared_ptr<DuplicateItem> copyAt(const DuplicatesContainer& container, const std::string& path) {
    FileSystemItem* item = container.findExistedSystemItemWithPath(path);
    DuplicateItem* entry = item != nullptr ? item->getDuplicateItem() : nullptr;
    return entry != nullptr ? entry->shared_from_this() : nullptr;
}

// Selects the copies at the paths (forced: a whole group may be selected).
inline void selectPaths(const DuplicatesContainer& container, const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        const auto copy = copyAt(container, path);
        ASSERT_TRUE(copy) << "no copy at " << path;
        EXPECT_TRUE(copy->selectItemForced(true)) << path;
    }
}

// Answers every question with a fixed choice and remembers what was asked.
class ScriptedAsker final : public QuestionAsker {
public:
    enum class Choice { yes, safe };
    explicit ScriptedAsker(Choice choice = Choice::yes) : m_choice(choice) {}
    void ask(const Question& question, std::function<void(Answer)> answer) override {
        asked.push_back(question);
        answer({m_choice == Choice::yes || question.isMessage() ? question.yesButton : question.safeButton, suppress});
    }
    std::vector<std::string> kinds() const {
        std::vector<std::string> result;
        for (const auto& question : asked) result.push_back(question.kind);
        return result;
    }
    std::vector<Question> asked;
    bool suppress = false;

private:
    Choice m_choice;
};

// A session's delegate: what was removed (paths, in batches) and the end.
class SessionRecorder final : public DuplicateItemsRemoverDelegate {
public:
    void onRemoverRemove(DuplicateItemsRemover&, const std::vector<std::shared_ptr<DuplicateItem>>& items) override {
        for (const auto& item : items) removedPaths.push_back(item->getFileItemPath());
    }
    void onRemoverFinishWork(DuplicateItemsRemover&) override { ++finished; }
    std::vector<std::string> removedPaths;
    int finished = 0;
};

struct SessionOutcome {
    std::shared_ptr<DuplicateItemsRemover> remover;
    std::shared_ptr<SessionRecorder> recorder;
    std::shared_ptr<ScriptedAsker> asker;
};

// Removes the container's selected copies, to the Trash or permanently,
// answering every question with `choice`, and waits for the end.
inline SessionOutcome removeSelected(const std::shared_ptr<DuplicatesContainer>& container, bool toTrash,
                                     ScriptedAsker::Choice choice = ScriptedAsker::Choice::yes,
                                     bool removeEmptyFolders = false) {
    SessionOutcome outcome;
    outcome.recorder = std::make_shared<SessionRecorder>();
    outcome.asker = std::make_shared<ScriptedAsker>(choice);
    outcome.remover = DuplicateItemsRemover::create(outcome.recorder, outcome.asker);
    outcome.remover->setContainer(container);
    outcome.remover->setRemoveToTrash(toTrash);
    outcome.remover->setRemoveEmptyFolders(removeEmptyFolders);
    outcome.remover->removeItemsInRemoveList();
    runMainQueueUntil([&] { return outcome.recorder->finished > 0; }, std::chrono::minutes(2));
    EXPECT_EQ(outcome.recorder->finished, 1);
    return outcome;
}

}  // namespace kestrane::test
