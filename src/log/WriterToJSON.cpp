#include "log/WriterToJSON.h"

#include "log/JArray.h"
#include "log/JObject.h"
#include "log/JTextValue.h"
#include "platform/Text.h"

#include <cstdio>

namespace kestrane {

namespace {

// One pass of writing: the text so far and the prefix of the current line.
class EncapsulatedWriterToJSON {
public:
    explicit EncapsulatedWriterToJSON(const std::string& indentation) : m_indentation(indentation) {}

    void write(const JValue& value) {
        if (const JObject* object = value.asObject()) {
            writeContainer('{', '}', [&](bool& first) {
                for (const std::string& key : object->sortedKeys()) {
                    const auto entry = object->valueForKey(key);
                    if (!entry) continue;
                    separate(first);
                    writeText(key);
                    m_text += ": ";
                    write(*entry);
                }
            });
        } else if (const JArray* array = value.asArray()) {
            writeContainer('[', ']', [&](bool& first) {
                for (const auto& entry : array->content()) {
                    separate(first);
                    write(*entry);
                }
            });
        } else if (const JTextValue* text = value.asTextValue()) {
            writeText(text->text());
        }
    }

    std::string take() { return std::move(m_text); }

private:
    template <class Entries>
    void writeContainer(char open, char close, Entries&& entries) {
        m_text += open;
        m_linePrefix += m_indentation;
        newLine();
        bool first = true;
        entries(first);
        m_linePrefix.resize(m_linePrefix.size() - m_indentation.size());
        if (!first) newLine();
        m_text += close;
    }

    void separate(bool& first) {
        if (!first) {
            m_text += ',';
            newLine();
        }
        first = false;
    }

    void newLine() {
        m_text += '\n';
        m_text += m_linePrefix;
    }

    void writeText(const std::string& text) {
        m_text += '"';
        m_text += WriterToJSON::escaped(text);
        m_text += '"';
    }

    const std::string& m_indentation;
    std::string m_linePrefix;
    std::string m_text;
};

}  // namespace

std::string WriterToJSON::write(const JValue& value) const {
    EncapsulatedWriterToJSON writer(m_indentation);
    writer.write(value);
    return writer.take();
}

std::string WriterToJSON::escaped(std::string_view raw) {
    const std::string valid = platform::isValidUtf8(raw) ? std::string(raw) : platform::utf8Replacing(raw);
    std::string text;
    text.reserve(valid.size() + 8);
    for (const char c : valid) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '"': text += "\\\""; break;
        case '/': text += "\\/"; break;
        case '\n': text += "\\n"; break;
        case '\b': text += "\\b"; break;
        case '\f': text += "\\f"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
                text += escape;
            } else {
                text += c;
            }
        }
    }
    return text;
}

}  // namespace kestrane
