#include "log/LogPaths.h"

#include "log/JObject.h"
#include "log/JTextValue.h"
#include "platform/Text.h"

#include <nlohmann/json.hpp>

namespace kestrane {

namespace {
const std::string kBase64Suffix = " base64";
}

void setLogPath(JObject& record, const std::string& key, const std::string& path, std::uint64_t order,
                std::uint64_t base64Order) {
    if (platform::isValidUtf8(path)) {
        record.setValueForKey(JTextValue::withText(path), key);
        record.setSortOrderForKey(order, key);
        return;
    }
    record.setValueForKey(JTextValue::withText(platform::utf8Replacing(path)), key);
    record.setSortOrderForKey(order, key);
    record.setValueForKey(JTextValue::withText(platform::base64Encode(path)), key + kBase64Suffix);
    record.setSortOrderForKey(base64Order, key + kBase64Suffix);
}

std::optional<std::string> logPath(const nlohmann::json& record, const std::string& key) {
    if (!record.is_object()) return std::nullopt;
    const auto text = record.find(key);
    if (text == record.end() || !text->is_string()) return std::nullopt;
    if (const auto exact = record.find(key + kBase64Suffix); exact != record.end() && exact->is_string()) {
        if (auto bytes = platform::base64Decode(exact->get_ref<const std::string&>())) return bytes;
    }
    return text->get<std::string>();
}

}  // namespace kestrane
