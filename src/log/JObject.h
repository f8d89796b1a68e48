#pragma once

#include "log/JValue.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

// Keys with values, written in the order of their sort positions: a key
// without a position comes after every key that has one (it has the largest
// unsigned 64-bit position); keys of equal position come in key order.
class JObject final : public JValue {
public:
    static constexpr std::uint64_t kNoSortOrder = std::numeric_limits<std::uint64_t>::max();

    // A null value removes the key.
    void setValueForKey(std::shared_ptr<JValue> value, const std::string& key);
    // Null when the key has no value.
    std::shared_ptr<JValue> valueForKey(const std::string& key) const;
    void removeValueForKey(const std::string& key);
    std::vector<std::string> allKeys() const;
    std::vector<std::shared_ptr<JValue>> allValues() const;
    std::size_t count() const { return m_content.size(); }

    void setSortOrderForKey(std::uint64_t order, const std::string& key) { m_keysSortOrder[key] = order; }
    std::uint64_t sortOrderValueForKey(const std::string& key) const;
    // The keys that have values, by sort position.
    std::vector<std::string> sortedKeys() const;

    // The object (array) under the key; when the key is missing or holds a
    // value of another kind, an empty one is made and stored there, and
    // *isCreated (when given) says so.
    std::shared_ptr<JObject> objectForKey(const std::string& key, bool* isCreated = nullptr);
    std::shared_ptr<JArray> arrayForKey(const std::string& key, bool* isCreated = nullptr);
    // The general form: the value under the key when `validation` accepts
    // it, else the one `creation` makes, stored under the key.
    std::shared_ptr<JValue> customObjectForKey(const std::string& key, const std::function<bool(const JValue&)>& validation,
                                               const std::function<std::shared_ptr<JValue>()>& creation,
                                               bool* isCreated = nullptr);

    JObject* asObject() override { return this; }
    const JObject* asObject() const override { return this; }

private:
    std::map<std::string, std::shared_ptr<JValue>> m_content;
    std::map<std::string, std::uint64_t> m_keysSortOrder;
};

}  // namespace kestrane
