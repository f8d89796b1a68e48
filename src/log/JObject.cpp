#include "log/JObject.h"

#include "log/JArray.h"

#include <algorithm>

namespace kestrane {

void JObject::setValueForKey(std::shared_ptr<JValue> value, const std::string& key) {
    if (!value) {
        m_content.erase(key);
        return;
    }
    m_content[key] = std::move(value);
}

std::shared_ptr<JValue> JObject::valueForKey(const std::string& key) const {
    const auto found = m_content.find(key);
    return found == m_content.end() ? nullptr : found->second;
}

void JObject::removeValueForKey(const std::string& key) { m_content.erase(key); }

std::vector<std::string> JObject::allKeys() const {
    std::vector<std::string> keys;
    keys.reserve(m_content.size());
    for (const auto& [key, value] : m_content) keys.push_back(key);
    return keys;
}

std::vector<std::shared_ptr<JValue>> JObject::allValues() const {
    std::vector<std::shared_ptr<JValue>> values;
    values.reserve(m_content.size());
    for (const auto& [key, value] : m_content) values.push_back(value);
    return values;
}

std::uint64_t JObject::sortOrderValueForKey(const std::string& key) const {
    const auto found = m_keysSortOrder.find(key);
    return found == m_keysSortOrder.end() ? kNoSortOrder : found->second;
}

std::vector<std::string> JObject::sortedKeys() const {
    std::vector<std::pair<std::uint64_t, const std::string*>> ordered;
    ordered.reserve(m_content.size());
    for (const auto& [key, value] : m_content) ordered.emplace_back(sortOrderValueForKey(key), &key);
    // Stable: equal positions keep the key order of the map.
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> keys;
    keys.reserve(ordered.size());
    for (const auto& entry : ordered) keys.push_back(*entry.second);
    return keys;
}

std::shared_ptr<JValue> JObject::customObjectForKey(const std::string& key,
                                                    const std::function<bool(const JValue&)>& validation,
                                                    const std::function<std::shared_ptr<JValue>()>& creation,
                                                    bool* isCreated) {
    if (auto value = valueForKey(key); value && validation(*value)) {
        if (isCreated) *isCreated = false;
        return value;
    }
    auto made = creation();
    setValueForKey(made, key);
    if (isCreated) *isCreated = true;
    return made;
}

std::shared_ptr<JObject> JObject::objectForKey(const std::string& key, bool* isCreated) {
    return std::static_pointer_cast<JObject>(customObjectForKey(
        key, [](const JValue& value) { return value.asObject() != nullptr; },
        [] { return std::make_shared<JObject>(); }, isCreated));
}

std::shared_ptr<JArray> JObject::arrayForKey(const std::string& key, bool* isCreated) {
    return std::static_pointer_cast<JArray>(customObjectForKey(
        key, [](const JValue& value) { return value.asArray() != nullptr; },
        [] { return std::make_shared<JArray>(); }, isCreated));
}

}  // namespace kestrane
