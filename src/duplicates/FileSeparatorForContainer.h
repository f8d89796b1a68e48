#pragma once

#include "duplicates/FileSeparator.h"

#include <memory>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class FileSeparatorForContainer;

class FileSeparatorForContainerListener {
public:
    virtual ~FileSeparatorForContainerListener() = default;
    // On FileSeparator::workingQueue(), after the groups were added to the container.
    virtual void onFinishFileSeparatorWithResultToContainer(FileSeparatorForContainer& separator,
                                                            const FileSeparatorMap& result,
                                                            const std::shared_ptr<DuplicatesContainer>& container) = 0;
};

// Runs one file separation and adds every resulting set of two or more
// identical files to a container as a group of the files' category.
class FileSeparatorForContainer final : public FileSeparatorListener,
                                        public std::enable_shared_from_this<FileSeparatorForContainer> {
public:
    static std::shared_ptr<FileSeparatorForContainer> create(SeparationOptions options);
    explicit FileSeparatorForContainer(SeparationOptions options)
        : m_options(options), m_queueChecker(FileSeparator::workingQueue()) {}

    void separateItemsToContainerWithListener(std::vector<FileSystemItem*> items,
                                              std::shared_ptr<DuplicatesContainer> container,
                                              std::weak_ptr<FileSeparatorForContainerListener> listener);
    void stop();

    void onFinishSeparateItemsByHash(FileSeparator& separator, FileSeparatorMap result) override;

private:
    const SeparationOptions m_options;
    // Touched on the separators' working queue only (stop() is queued there).
    std::shared_ptr<FileSeparator> m_pSeparator;
    std::shared_ptr<DuplicatesContainer> m_pContainer;
    std::weak_ptr<FileSeparatorForContainerListener> m_pListener;
    platform::QueueChecker m_queueChecker;  // the separators' working queue
};

}  // namespace kestrane
