#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace kestrane {

// Objects bucketed by a computed key: a map from a key to an unordered set of
// objects, held by plain pointer (the map never owns what it buckets). Used
// wherever items are split by a key: content keys of files, the candidate
// keys of folders.
template <typename T, typename Key = std::string>
class SeparatorMap {
public:
    using Set = std::unordered_set<T*>;
    using Map = std::unordered_map<Key, Set>;
    using iterator = typename Map::iterator;
    using const_iterator = typename Map::const_iterator;

    // Adds the object to the set under the key, making the set on first use.
    // An object already in that set is not added again (returns false).
    bool addObjectWithSeparatorKey(T* object, const Key& key) { return m_map[key].insert(object).second; }
    // The same, taking the key instead of copying it when it is new.
    bool addObjectWithSeparatorKey(T* object, Key&& key) {
        return m_map.try_emplace(std::move(key)).first->second.insert(object).second;
    }

    // The set under the key, or null.
    const Set* find(const Key& key) const {
        const auto it = m_map.find(key);
        return it == m_map.end() ? nullptr : &it->second;
    }
    bool contains(const Key& key) const { return m_map.contains(key); }
    // Removes the key with its set; returns the set (empty when there was none).
    Set take(const Key& key) {
        auto node = m_map.extract(key);
        return node.empty() ? Set{} : std::move(node.mapped());
    }
    std::size_t erase(const Key& key) { return m_map.erase(key); }
    void clear() { m_map.clear(); }

    // Number of keys.
    std::size_t size() const { return m_map.size(); }
    bool empty() const { return m_map.empty(); }
    // Number of objects over all sets.
    std::size_t objectCount() const {
        std::size_t count = 0;
        for (const auto& [key, set] : m_map) count += set.size();
        return count;
    }

    iterator begin() { return m_map.begin(); }
    iterator end() { return m_map.end(); }
    const_iterator begin() const { return m_map.begin(); }
    const_iterator end() const { return m_map.end(); }

private:
    Map m_map;
};

// Two levels of bucketing: under each key a separator map, into which an
// object goes under an additional key.
template <typename T, typename Key = std::string, typename AdditionalKey = std::string>
class NestedSeparatorMap {
public:
    using Inner = SeparatorMap<T, AdditionalKey>;
    using Map = std::unordered_map<Key, Inner>;
    using iterator = typename Map::iterator;
    using const_iterator = typename Map::const_iterator;

    // Adds the object under the additional key of the separator map under the
    // key, making both on first use. False when the object was already there.
    bool addWithKeys(T* object, const Key& key,
                                                             const AdditionalKey& additionalKey) {
        return m_map[key].addObjectWithSeparatorKey(object, additionalKey);
    }

    // The separator map under the key, or null.
    const Inner* find(const Key& key) const {
        const auto it = m_map.find(key);
        return it == m_map.end() ? nullptr : &it->second;
    }
    Inner* find(const Key& key) {
        const auto it = m_map.find(key);
        return it == m_map.end() ? nullptr : &it->second;
    }
    bool contains(const Key& key) const { return m_map.contains(key); }
    std::size_t erase(const Key& key) { return m_map.erase(key); }
    void clear() { m_map.clear(); }

    std::size_t size() const { return m_map.size(); }
    bool empty() const { return m_map.empty(); }

    iterator begin() { return m_map.begin(); }
    iterator end() { return m_map.end(); }
    const_iterator begin() const { return m_map.begin(); }
    const_iterator end() const { return m_map.end(); }

private:
    Map m_map;
};

}  // namespace kestrane
