#pragma once
// The engine's values: what script calls pass to the native side and what
// the native side passes back and into script callbacks.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine {

class Value {
public:
    enum class Type { Undefined, Null, Bool, Int, Float, String, Array, Map };
    using Member = std::pair<std::wstring, Value>;

    Value() = default;  // undefined
    Value(bool value) : type_(Type::Bool), int_(value ? 1 : 0) {}
    Value(int value) : type_(Type::Int), int_(value) {}
    Value(double value) : type_(Type::Float), float_(value) {}
    Value(std::wstring value) : type_(Type::String), text_(std::move(value)) {}
    Value(const wchar_t* value) : Value(std::wstring(value)) {}

    static Value Null() { return Value(Type::Null); }
    static Value Array(std::vector<Value> items = {});
    static Value Map(std::vector<Member> members = {});

    Type type() const { return type_; }
    bool IsUndefined() const { return type_ == Type::Undefined; }
    bool IsInt() const { return type_ == Type::Int; }
    bool IsString() const { return type_ == Type::String; }
    bool IsArray() const { return type_ == Type::Array; }

    // The integer accessor: empty for anything that is not an integer.
    std::optional<int> AsInt() const;
    std::optional<bool> AsBool() const;
    double AsFloat() const { return float_; }
    // The value's string form: the text of a string, the decimal form of a
    // number, "true"/"false", "null", "undefined"; arrays and maps give "".
    std::wstring ToText() const;
    const std::wstring& Text() const { return text_; }

    // Elements of an array (empty for other values).
    const std::vector<Value>& Items() const { return items_; }
    void Append(Value item) { items_.push_back(std::move(item)); }
    // Members of a map, in insertion order.
    const std::vector<Member>& Members() const { return members_; }

    bool operator==(const Value& other) const = default;

private:
    explicit Value(Type type) : type_(type) {}

    Type type_ = Type::Undefined;
    std::int32_t int_ = 0;
    double float_ = 0;
    std::wstring text_;
    std::vector<Value> items_;
    std::vector<Member> members_;
};

}  // namespace engine
