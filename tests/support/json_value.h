// A JSON document read back in a test, without Qt: strict RFC 8259 (one value, nothing after
// it but white space), strings decoded to UTF-8, numbers as doubles, objects in the order
// written.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace json {

class Value {
public:
    enum class Type : std::uint8_t { Null, Bool, Number, String, Array, Object };

    Value() = default;
    static Value boolean(bool b) {
        Value v;
        v.type_ = Type::Bool;
        v.bool_ = b;
        return v;
    }
    static Value number(double n) {
        Value v;
        v.type_ = Type::Number;
        v.number_ = n;
        return v;
    }
    static Value string(std::string s) {
        Value v;
        v.type_ = Type::String;
        v.string_ = std::move(s);
        return v;
    }
    static Value array(std::vector<Value> items) {
        Value v;
        v.type_ = Type::Array;
        v.items_ = std::move(items);
        return v;
    }
    static Value object(std::vector<std::pair<std::string, Value>> members) {
        Value v;
        v.type_ = Type::Object;
        v.members_ = std::move(members);
        return v;
    }

    [[nodiscard]] Type type() const { return type_; }
    [[nodiscard]] bool isNull() const { return type_ == Type::Null; }
    [[nodiscard]] bool isString() const { return type_ == Type::String; }
    [[nodiscard]] bool isArray() const { return type_ == Type::Array; }
    [[nodiscard]] bool isObject() const { return type_ == Type::Object; }
    [[nodiscard]] bool toBool() const { return type_ == Type::Bool && bool_; }
    [[nodiscard]] double toDouble() const { return type_ == Type::Number ? number_ : 0; }
    [[nodiscard]] int toInt() const { return static_cast<int>(toDouble()); }
    [[nodiscard]] std::string toString() const { return type_ == Type::String ? string_ : ""; }
    [[nodiscard]] const std::vector<Value>& items() const { return items_; }
    [[nodiscard]] const std::vector<std::pair<std::string, Value>>& members() const {
        return members_;
    }
    [[nodiscard]] std::size_t size() const {
        return type_ == Type::Array ? items_.size() : type_ == Type::Object ? members_.size() : 0;
    }
    // An item of an array; a null value past its end or for anything else.
    [[nodiscard]] const Value& operator[](std::size_t index) const {
        return type_ == Type::Array && index < items_.size() ? items_[index] : none();
    }
    // A member of an object; a null value where there is none.
    [[nodiscard]] const Value& operator[](std::string_view key) const {
        for (const auto& [name, value] : members_) {
            if (name == key) {
                return value;
            }
        }
        return none();
    }
    [[nodiscard]] bool contains(std::string_view key) const {
        return std::any_of(members_.begin(), members_.end(),
                           [key](const auto& member) { return member.first == key; });
    }
    // The keys of an object in the order written, and sorted.
    [[nodiscard]] std::vector<std::string> keys() const {
        std::vector<std::string> names;
        for (const auto& member : members_) {
            names.push_back(member.first);
        }
        return names;
    }
    [[nodiscard]] std::vector<std::string> sortedKeys() const {
        auto names = keys();
        std::sort(names.begin(), names.end());
        return names;
    }

    friend bool operator==(const Value& a, const Value& b) {
        if (a.type_ != b.type_) {
            return false;
        }
        switch (a.type_) {
            case Type::Null:
                return true;
            case Type::Bool:
                return a.bool_ == b.bool_;
            case Type::Number:
                return a.number_ == b.number_;
            case Type::String:
                return a.string_ == b.string_;
            case Type::Array:
                return a.items_ == b.items_;
            case Type::Object:
                return a.members_ == b.members_;
        }
        return false;
    }

private:
    static const Value& none() {
        static const Value null;
        return null;
    }
    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<Value> items_;
    std::vector<std::pair<std::string, Value>> members_;
};

namespace detail {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<Value> document() {
        auto value = read(0);
        space();
        if (!value || at_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    void space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    bool literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }
    std::optional<Value> read(int depth) {
        space();
        if (at_ >= text_.size() || depth > 200) {
            return std::nullopt;
        }
        const char c = text_[at_];
        if (c == '{') {
            return object(depth);
        }
        if (c == '[') {
            return array(depth);
        }
        if (c == '"') {
            auto s = string();
            return s ? std::optional(Value::string(*s)) : std::nullopt;
        }
        if (literal("true")) {
            return Value::boolean(true);
        }
        if (literal("false")) {
            return Value::boolean(false);
        }
        if (literal("null")) {
            return Value();
        }
        return number();
    }
    std::optional<Value> number() {
        const std::size_t start = at_;
        const auto digits = [this] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
                ++at_;
            }
            return at_ > from;
        };
        if (at_ < text_.size() && text_[at_] == '-') {
            ++at_;
        }
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
        } else if (!digits()) {
            return std::nullopt;
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (!digits()) {
                return std::nullopt;
            }
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
                ++at_;
            }
            if (!digits()) {
                return std::nullopt;
            }
        }
        const std::string written(text_.substr(start, at_ - start));
        return Value::number(std::strtod(written.c_str(), nullptr));
    }
    std::optional<unsigned> hex4() {
        if (at_ + 4 > text_.size()) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text_[at_++];
            value <<= 4U;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return value;
    }
    static void append(std::string& out, unsigned c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6U));
            out += static_cast<char>(0x80 | (c & 0x3FU));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12U));
            out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
            out += static_cast<char>(0x80 | (c & 0x3FU));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18U));
            out += static_cast<char>(0x80 | ((c >> 12U) & 0x3FU));
            out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
            out += static_cast<char>(0x80 | (c & 0x3FU));
        }
    }
    std::optional<std::string> string() {
        ++at_;  // the opening quote
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return std::nullopt;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return std::nullopt;
            }
            const char e = text_[at_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    auto unit = hex4();
                    if (!unit) {
                        return std::nullopt;
                    }
                    unsigned code = *unit;
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        if (!literal("\\u")) {
                            return std::nullopt;
                        }
                        const auto low = hex4();
                        if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                            return std::nullopt;
                        }
                        code = 0x10000 + ((code - 0xD800) << 10U) + (*low - 0xDC00);
                    } else if (code >= 0xDC00 && code <= 0xDFFF) {
                        return std::nullopt;
                    }
                    append(out, code);
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }
    std::optional<Value> array(int depth) {
        ++at_;
        std::vector<Value> items;
        space();
        if (literal("]")) {
            return Value::array(std::move(items));
        }
        while (true) {
            auto item = read(depth + 1);
            if (!item) {
                return std::nullopt;
            }
            items.push_back(std::move(*item));
            space();
            if (literal("]")) {
                return Value::array(std::move(items));
            }
            if (!literal(",")) {
                return std::nullopt;
            }
        }
    }
    std::optional<Value> object(int depth) {
        ++at_;
        std::vector<std::pair<std::string, Value>> members;
        space();
        if (literal("}")) {
            return Value::object(std::move(members));
        }
        while (true) {
            space();
            if (at_ >= text_.size() || text_[at_] != '"') {
                return std::nullopt;
            }
            auto key = string();
            space();
            if (!key || !literal(":")) {
                return std::nullopt;
            }
            auto value = read(depth + 1);
            if (!value) {
                return std::nullopt;
            }
            members.emplace_back(std::move(*key), std::move(*value));
            space();
            if (literal("}")) {
                return Value::object(std::move(members));
            }
            if (!literal(",")) {
                return std::nullopt;
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace detail

// The document, or nullopt when the text is not one JSON value.
inline std::optional<Value> parse(std::string_view text) {
    return detail::Reader(text).document();
}

}  // namespace json
