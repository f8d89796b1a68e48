#pragma once

#include "log/JValue.h"

#include <memory>
#include <string>

namespace kestrane {

// A text of the log tree (every value of a log file is a JSON string).
class JTextValue final : public JValue {
public:
    explicit JTextValue(std::string text) : m_text(std::move(text)) {}
    static std::shared_ptr<JTextValue> withText(std::string text) {
        return std::make_shared<JTextValue>(std::move(text));
    }

    const std::string& text() const { return m_text; }

    JTextValue* asTextValue() override { return this; }
    const JTextValue* asTextValue() const override { return this; }

private:
    std::string m_text;
};

}  // namespace kestrane
