#pragma once

#include "log/JValue.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace kestrane {

// An ordered list of values of the log tree.
class JArray final : public JValue {
public:
    void addValue(std::shared_ptr<JValue> value);
    // Null when the index is out of range.
    std::shared_ptr<JValue> valueAtIndex(std::size_t index) const;
    std::size_t count() const { return m_content.size(); }
    void removeValueAtIndex(std::size_t index);
    void removeAllValues() { m_content.clear(); }
    const std::vector<std::shared_ptr<JValue>>& content() const { return m_content; }

    JArray* asArray() override { return this; }
    const JArray* asArray() const override { return this; }

private:
    std::vector<std::shared_ptr<JValue>> m_content;
};

}  // namespace kestrane
