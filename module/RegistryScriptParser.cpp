#include "module/RegistryScriptParser.h"

#include <cwctype>
#include <stdexcept>

namespace orvane {

namespace {

struct Token {
    enum class Kind { End, Word, Quoted, Open, Close, Equals };
    Kind kind = Kind::End;
    std::wstring text;
    size_t offset = 0;
};

class SyntaxError : public std::runtime_error {
public:
    SyntaxError(const std::string& what, size_t offset)
        : std::runtime_error(what + " at offset " + std::to_string(offset))
    {
    }
};

bool SameWord(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) {
            return false;
        }
    }
    return true;
}

class Tokenizer {
public:
    explicit Tokenizer(std::wstring_view text) : text_(text) { Advance(); }

    const Token& Peek() const { return current_; }

    Token Next()
    {
        Token token = std::move(current_);
        Advance();
        return token;
    }

private:
    void Advance()
    {
        while (position_ < text_.size() && std::iswspace(text_[position_])) {
            ++position_;
        }
        current_ = Token{};
        current_.offset = position_;
        if (position_ >= text_.size()) {
            return;
        }
        if (text_[position_] == L'\'') {
            ReadQuoted();
            return;
        }
        const size_t start = position_;
        while (position_ < text_.size() && !std::iswspace(text_[position_])) {
            ++position_;
        }
        current_.text.assign(text_.substr(start, position_ - start));
        if (current_.text == L"{") {
            current_.kind = Token::Kind::Open;
        } else if (current_.text == L"}") {
            current_.kind = Token::Kind::Close;
        } else if (current_.text == L"=") {
            current_.kind = Token::Kind::Equals;
        } else {
            current_.kind = Token::Kind::Word;
        }
    }

    void ReadQuoted()
    {
        const size_t start = position_++;
        for (;;) {
            if (position_ >= text_.size()) {
                throw SyntaxError("unterminated quoted text", start);
            }
            const wchar_t c = text_[position_++];
            if (c == L'\'') {
                if (position_ < text_.size() && text_[position_] == L'\'') {
                    current_.text.push_back(L'\'');
                    ++position_;
                    continue;
                }
                break;
            }
            current_.text.push_back(c);
        }
        current_.kind = Token::Kind::Quoted;
    }

    std::wstring_view text_;
    size_t position_ = 0;
    Token current_;
};

class Parser {
public:
    explicit Parser(std::wstring_view text) : tokens_(text) {}

    std::vector<ScriptRoot> Script()
    {
        std::vector<ScriptRoot> roots;
        while (tokens_.Peek().kind != Token::Kind::End) {
            Token name = tokens_.Next();
            if (name.kind != Token::Kind::Word) {
                throw SyntaxError("root key name expected", name.offset);
            }
            ScriptRoot root;
            root.name = std::move(name.text);
            Expect(Token::Kind::Open, "'{' expected after the root key");
            while (!Accept(Token::Kind::Close)) {
                root.keys.push_back(Key());
            }
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    ScriptKey Key()
    {
        ScriptKey key;
        const Token& first = tokens_.Peek();
        if (first.kind == Token::Kind::Word && SameWord(first.text, L"ForceRemove")) {
            key.removal = KeyRemoval::ForceRemove;
            tokens_.Next();
        } else if (first.kind == Token::Kind::Word && SameWord(first.text, L"NoRemove")) {
            key.removal = KeyRemoval::NoRemove;
            tokens_.Next();
        }
        key.name = Name("key name expected");
        if (Accept(Token::Kind::Equals)) {
            key.defaultValue = StringValue();
        }
        if (Accept(Token::Kind::Open)) {
            while (!Accept(Token::Kind::Close)) {
                const Token& next = tokens_.Peek();
                if (next.kind == Token::Kind::Word && SameWord(next.text, L"val")) {
                    tokens_.Next();
                    ScriptValue value;
                    value.name = Name("value name expected after 'val'");
                    Expect(Token::Kind::Equals, "'=' expected after the value name");
                    value.data = StringValue();
                    key.values.push_back(std::move(value));
                } else {
                    key.subkeys.push_back(Key());
                }
            }
        }
        return key;
    }

    // A key or value name: a plain word or quoted text, never empty and never a path.
    std::wstring Name(const char* what)
    {
        Token token = tokens_.Next();
        if (token.kind != Token::Kind::Word && token.kind != Token::Kind::Quoted) {
            throw SyntaxError(what, token.offset);
        }
        if (token.text.empty() || token.text.find(L'\\') != std::wstring::npos) {
            throw SyntaxError("a name must be a single, non-empty key name", token.offset);
        }
        return std::move(token.text);
    }

    // "s 'text'": the only value type the module needs.
    std::wstring StringValue()
    {
        Token type = tokens_.Next();
        if (type.kind != Token::Kind::Word || !SameWord(type.text, L"s")) {
            throw SyntaxError("value type 's' expected", type.offset);
        }
        Token value = tokens_.Next();
        if (value.kind != Token::Kind::Quoted) {
            throw SyntaxError("quoted value expected", value.offset);
        }
        return std::move(value.text);
    }

    bool Accept(Token::Kind kind)
    {
        if (tokens_.Peek().kind == Token::Kind::End && kind == Token::Kind::Close) {
            throw SyntaxError("'}' missing at the end", tokens_.Peek().offset);
        }
        if (tokens_.Peek().kind != kind) {
            return false;
        }
        tokens_.Next();
        return true;
    }

    void Expect(Token::Kind kind, const char* what)
    {
        if (tokens_.Peek().kind != kind) {
            throw SyntaxError(what, tokens_.Peek().offset);
        }
        tokens_.Next();
    }

    Tokenizer tokens_;
};

}  // namespace

ParsedScript ParseRegistryScript(std::wstring_view text)
{
    ParsedScript result;
    try {
        result.roots = Parser(text).Script();
    } catch (const SyntaxError& error) {
        result.roots.clear();
        result.error = error.what();
    }
    return result;
}

}  // namespace orvane
