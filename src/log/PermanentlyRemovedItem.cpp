#include "log/PermanentlyRemovedItem.h"

namespace kestrane {

std::shared_ptr<PermanentlyRemovedItem> PermanentlyRemovedItem::fromRecord(const nlohmann::json& record) {
    auto item = std::make_shared<PermanentlyRemovedItem>(Key());
    if (!item->readRecord(record)) return nullptr;
    return item;
}

}  // namespace kestrane
