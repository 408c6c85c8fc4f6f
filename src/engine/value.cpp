#include "engine/value.h"

#include <cwchar>

namespace engine {

Value Value::Array(std::vector<Value> items) {
    Value value(Type::Array);
    value.items_ = std::move(items);
    return value;
}

Value Value::Map(std::vector<Member> members) {
    Value value(Type::Map);
    value.members_ = std::move(members);
    return value;
}

std::optional<int> Value::AsInt() const {
    if (type_ != Type::Int) return std::nullopt;
    return int_;
}

std::optional<bool> Value::AsBool() const {
    if (type_ != Type::Bool) return std::nullopt;
    return int_ != 0;
}

std::wstring Value::ToText() const {
    switch (type_) {
        case Type::Undefined: return L"undefined";
        case Type::Null: return L"null";
        case Type::Bool: return int_ ? L"true" : L"false";
        case Type::Int: return std::to_wstring(int_);
        case Type::Float: {
            wchar_t buffer[64];
            std::swprintf(buffer, 64, L"%.17g", float_);
            return buffer;
        }
        case Type::String: return text_;
        case Type::Array:
        case Type::Map: return {};
    }
    return {};
}

}  // namespace engine
