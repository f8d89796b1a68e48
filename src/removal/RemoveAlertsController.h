#pragma once

#include "platform/Question.h"
#include "removal/RemoveErrorInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

// The kinds of the questions a removal asks (Question::kind).
namespace RemovalQuestionKind {
inline constexpr const char* readOnlyAccess = "removal.readOnlyAccess";
inline constexpr const char* lockedFiles = "removal.lockedFiles";
inline constexpr const char* hardLinkFolder = "removal.hardLinkFolder";
inline constexpr const char* networkDisk = "removal.networkDisk";
inline constexpr const char* unknown = "removal.unknown";
inline constexpr const char* readOnlyNTFSDisk = "removal.readOnlyNTFSDisk";
inline constexpr const char* readOnlyDisk = "removal.readOnlyDisk";
inline constexpr const char* notRemoved = "removal.notRemoved";
// "Are you sure you want to delete some files permanently?", before a permanent removal.
inline constexpr const char* removePermanently = "removal.removePermanently";
// The help behind a group's "Read More", and the report behind "Report Us" (messages).
inline constexpr const char* readMore = "removal.readMore";
inline constexpr const char* report = "removal.report";
}  // namespace RemovalQuestionKind

// Asks about each error group: what went wrong, in the person's words, and
// whether another means of removal may be tried. The questions are data
// (Question) answered by the front end's QuestionAsker; "Read More" shows the
// group's help and asks again, "Report Us" shows the session's behaviour log.
// Used on the main queue.
class RemoveAlertsController {
public:
    explicit RemoveAlertsController(std::weak_ptr<QuestionAsker> asker) : m_asker(std::move(asker)) {}

    // The question of a group about these errors. Groups that another means
    // may remove have "Confirm" (the yes), "Cancel" (the safe answer) and
    // "Read More"; those that only inform have "OK" and "Read More", and the
    // final group "OK" and "Report Us".
    static Question questionForGroup(RemoveGroupType type, const std::vector<RemoveErrorInfo>& errors,
                                     bool removeToTrash);
    // What "Read More" shows for a group.
    static std::string helpTextForGroup(RemoveGroupType type);
    // "Are you sure you want to delete some files permanently?" about `count` items.
    static Question removePermanentlyQuestion(std::uint64_t count);

    // Asks the group's question; handler(true) when the person confirms (or,
    // for a group that only informs, acknowledges), false otherwise, also
    // when no asker is left.
    void showAlertForGroup(RemoveGroupType type, const std::vector<RemoveErrorInfo>& errors, bool removeToTrash,
                           std::function<void(bool)> handler);

private:
    static void askWith(const std::weak_ptr<QuestionAsker>& asker, Question question, RemoveGroupType type,
                        std::function<void(bool)> handler);

    std::weak_ptr<QuestionAsker> m_asker;
};

}  // namespace kestrane
