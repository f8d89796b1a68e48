#pragma once

#include <memory>

namespace kestrane {

class JArray;
class JObject;
class JTextValue;

// A value of the small tree a removal log is built in: an object (keys with
// sort positions), an array or a text. Values are shared: a value may sit
// in more than one tree (a rebuilt root keeps the children of the old one).
// Not thread-safe: a log changes its tree on its own queue only.
class JValue {
public:
    virtual ~JValue() = default;

    // The value as that kind, or null.
    virtual JObject* asObject() { return nullptr; }
    virtual const JObject* asObject() const { return nullptr; }
    virtual JArray* asArray() { return nullptr; }
    virtual const JArray* asArray() const { return nullptr; }
    virtual JTextValue* asTextValue() { return nullptr; }
    virtual const JTextValue* asTextValue() const { return nullptr; }

protected:
    JValue() = default;
    JValue(const JValue&) = default;
    JValue& operator=(const JValue&) = default;
};

}  // namespace kestrane
