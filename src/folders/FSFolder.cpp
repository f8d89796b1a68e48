#include "folders/FSFolder.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/FSFolderDescription.h"
#include "folders/FSFolderManager.h"
#include "platform/MainQueue.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <deque>

namespace kestrane {

std::shared_ptr<FSFolder> FSFolder::create(FolderSystemItem* folder, const std::shared_ptr<FSFolder>& parent) {
    auto node = std::make_shared<FSFolder>(Key{}, folder, parent);
    node->fillData();
    if (parent && !parent->parentFolderItem()) node->calculateInternalDuplicatesWithExternalPart(nullptr);
    return node;
}

FSFolder::FSFolder(Key, FolderSystemItem* folder, const std::shared_ptr<FSFolder>& parent)
    : m_folderItem(folder), m_parent(parent), m_info(this) {
    const DuplicateItem* entry = folder ? folder->getDuplicateItem() : nullptr;
    m_isInDuplicateFolder = entry != nullptr && entry->getAssociatedDuplicateFolder() != nullptr;
}

FSFolder::~FSFolder() {
    if (m_folderItem != nullptr && m_folderItem->folderTreeLink() == this) m_folderItem->setFsFolder(nullptr);
}

std::vector<std::shared_ptr<FSFolder>> FSFolder::subFoldersInViewOrder() const {
    auto ordered = m_subFolders;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return precedesInView(*a, *b); });
    return ordered;
}

InternalDuplicatesByGroupSeparator FSFolder::internalDuplicatesForSelectionSeparator() const {
    InternalDuplicatesByGroupSeparator separator;
    for (const auto& item : m_internalDuplicates) separator.addItem(item);
    return separator;
}

std::string_view FSFolder::name() const {
    return m_folderItem ? m_folderItem->name() : std::string_view();
}

bool FSFolder::isDuplicateFolder() const {
    const DuplicateItem* entry = m_folderItem ? m_folderItem->getDuplicateItem() : nullptr;
    return entry != nullptr && entry->getFileSystemItem() == m_folderItem;
}

int FSFolder::duplicatesSelectionState() const {
    if (m_info.countOfSelectedDuplicates < 1) return 0;
    if (m_info.countOfSelectedDuplicates >= m_info.countOfDuplicates) return 1;
    return -1;
}

void FSFolder::watch(DuplicateItem* item) {
    if (auto strong = item ? item->weak_from_this().lock() : nullptr) m_watched.emplace_back(std::move(strong), false);
}

void FSFolder::fillData() {
    m_countOfUniqueItems = 0;
    if (m_folderItem != nullptr) {
        if (DuplicateItem* own = m_folderItem->getDuplicateItem()) {
            // A duplicate folder (or one inside a duplicate folder) is a leaf.
            watch(own);
        } else {
            const auto self = shared_from_this();
            for (const auto& child : m_folderItem->childrenArray()) {
                if (child->isDir() && !child->isPackage()) {
                    addSubFolder(create(static_cast<FolderSystemItem*>(child.get()), self));
                } else if (DuplicateItem* entry = child->getDuplicateItem()) {
                    watch(entry);
                } else {
                    ++m_countOfUniqueItems;
                }
            }
        }
    }
    m_isChanged = true;
    m_isChildChanged = true;
    updateInfo();
}

void FSFolder::calculateInternalDuplicatesWithExternalPart(InternalDuplicatesByGroupSeparator* parent) {
    InternalDuplicatesByGroupSeparator separator;
    for (const auto& sub : m_subFolders) sub->calculateInternalDuplicatesWithExternalPart(&separator);
    separator.addChildrenOfFolder(m_folderItem);
    // Groups held whole from here up are other files of this folder.
    separator.removeFullGroupsWithAction([this](const std::shared_ptr<DuplicatesGroup>&, const Items& items) {
        m_countOfUniqueItems += static_cast<std::int64_t>(items.size());
    });
    // A duplicate folder always counts itself (after the removal above).
    if (m_folderItem != nullptr) separator.addFileItem(m_folderItem);
    m_internalDuplicates = separator.allDuplicates();
    if (parent != nullptr) parent->addSeparator(std::move(separator));
}

void FSFolder::updateInfo() {
    if (!isItemChanged() || !FSFolderManager::sharedInstance().isCanUpdate()) return;
    if (m_isChildChanged) {
        m_isChildChanged = false;
        for (const auto& sub : m_subFolders) {
            sub->updateInfo();
            m_info.addData(sub->info(), sub.get());
        }
        m_isChanged = true;
    }
    if (m_isChanged) {
        m_isChanged = false;
        updateCurrentInfo();
        m_info.addData(m_currentInfo, this);
    }
    if (m_listeners && m_listeners->size() > 0) {
        platform::MainQueue::shared().async([weak = weak_from_this()] {
            const auto self = weak.lock();
            if (self && self->m_listeners) self->m_listeners->notify(&FSFolderListener::onFSFolderChanged, self);
        });
    }
}

void FSFolder::updateCurrentInfo() {
    std::int64_t selected = 0, selectedHere = 0, size = 0;
    for (const auto& item : m_internalDuplicates) {
        if (!item->isSelected()) continue;
        ++selected;
        const FileSystemItem* file = item->getFileSystemItem();
        if (file != nullptr && m_folderItem != nullptr && file->parent() == m_folderItem) ++selectedHere;
        size += static_cast<std::int64_t>(item->getFileItemSize());
    }
    m_currentInfo = {};
    m_currentInfo.countOfDuplicates = countOfInternalDuplicatesWithExternalPart();
    m_currentInfo.countOfSelectedDuplicates = selected;
    m_currentInfo.countOfSelectedDuplicatesInCurrentFolder = selectedHere;
    m_currentInfo.sizeOfSelectedDuplicates = size;
    m_currentInfo.countOfUniqueFiles = m_countOfUniqueItems;
}

void FSFolder::addSubFolder(const std::shared_ptr<FSFolder>& folder) {
    if (!folder) return;
    markThatChanged();
    if (folder->isItemChanged()) markThatChildChanged();
    m_subFolders.push_back(folder);
}

void FSFolder::markThatChanged() {
    m_isChanged = true;
    if (const auto parent = parentFolderItem()) parent->markThatChildChanged();
}

void FSFolder::markThatChildChanged() {
    for (auto node = shared_from_this(); node && !node->m_isChildChanged; node = node->parentFolderItem())
        node->m_isChildChanged = true;
}

void FSFolder::doWork(const std::function<void(FSFolder&)>& block) {
    FSFolderManager& manager = FSFolderManager::sharedInstance();
    manager.startUpdateGroup();
    block(*this);
    manager.endUpdateGroup();
}

FSFolderDescription FSFolder::buildDescription() const {
    return FSFolderDescription(m_folderItem);
}

std::shared_ptr<FSFolder> FSFolder::findSubFolderWithMaxCountOfDuplicates() {
    std::shared_ptr<FSFolder> best = shared_from_this();
    std::deque<std::shared_ptr<FSFolder>> level{best};
    while (!level.empty()) {
        const auto node = std::move(level.front());
        level.pop_front();
        if (node->m_info.countOfDuplicates > best->m_info.countOfDuplicates) best = node;
        level.insert(level.end(), node->m_subFolders.begin(), node->m_subFolders.end());
    }
    return best;
}

void FSFolder::findSubFolderWithMaxCountOfDuplicatesWithCompletion(
    std::function<void(std::shared_ptr<FSFolder>)> completion) {
    platform::MainQueue::shared().async([self = shared_from_this(), completion = std::move(completion)] {
        completion(self->findSubFolderWithMaxCountOfDuplicates());
    });
}

void FSFolder::onItemSelectionChanged(const std::shared_ptr<DuplicateItem>&) {
    doWork([](FSFolder& folder) { folder.markThatChanged(); });
}

void FSFolder::checkWatchedItemsOfSubtree() {
    std::vector<FSFolder*> stack{this};
    while (!stack.empty()) {
        FSFolder* node = stack.back();
        stack.pop_back();
        for (auto& [item, seen] : node->m_watched) {
            if (item->isSelected() == seen) continue;
            seen = !seen;
            node->onItemSelectionChanged(item);
        }
        for (const auto& sub : node->m_subFolders) stack.push_back(sub.get());
    }
}

void FSFolder::resetWatchedItemsOfSubtree() {
    std::vector<FSFolder*> stack{this};
    while (!stack.empty()) {
        FSFolder* node = stack.back();
        stack.pop_back();
        for (auto& [item, seen] : node->m_watched) seen = item->isSelected();
        for (const auto& sub : node->m_subFolders) stack.push_back(sub.get());
    }
}

void FSFolder::registerSubtreeOnFolderItems() {
    std::vector<FSFolder*> stack{this};
    while (!stack.empty()) {
        FSFolder* node = stack.back();
        stack.pop_back();
        if (node->m_folderItem != nullptr) node->m_folderItem->setFsFolder(node);
        for (const auto& sub : node->m_subFolders) stack.push_back(sub.get());
    }
}

void FSFolder::startBigSelection() {
    FSFolderManager::sharedInstance().startUpdateGroup();
    DuplicatesGroup::BeginSelectionGroup();
}

void FSFolder::endBigSelection() {
    DuplicatesGroup::EndSelectionGroup();
    platform::MainQueue::shared().async([] { FSFolderManager::sharedInstance().endUpdateGroup(); });
}

bool FSFolder::precedesInView(const FSFolder& a, const FSFolder& b) {
    const bool aHas = a.m_info.countOfDuplicates > 0;
    const bool bHas = b.m_info.countOfDuplicates > 0;
    if (aHas != bHas) return aHas;
    if (!aHas) {
        const bool aLeads = a.m_info.countOfFoldersWithDuplicates >= 1;
        const bool bLeads = b.m_info.countOfFoldersWithDuplicates >= 1;
        if (aLeads != bLeads) return aLeads;
    }
    if (a.m_folderItem == nullptr || b.m_folderItem == nullptr) return false;
    return a.name() < b.name();
}

void FSFolder::addListener(const std::shared_ptr<FSFolderListener>& listener) {
    if (!m_listeners) m_listeners = std::make_unique<WeakListeners<FSFolderListener>>();
    m_listeners->add(listener);
}

void FSFolder::removeListener(const FSFolderListener* listener) {
    if (m_listeners) m_listeners->remove(listener);
}

}  // namespace kestrane
