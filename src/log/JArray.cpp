#include "log/JArray.h"

namespace kestrane {

void JArray::addValue(std::shared_ptr<JValue> value) {
    if (value) m_content.push_back(std::move(value));
}

std::shared_ptr<JValue> JArray::valueAtIndex(std::size_t index) const {
    return index < m_content.size() ? m_content[index] : nullptr;
}

void JArray::removeValueAtIndex(std::size_t index) {
    if (index < m_content.size()) m_content.erase(m_content.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace kestrane
