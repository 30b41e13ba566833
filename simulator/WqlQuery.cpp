#include "simulator/WqlQuery.h"
#include <vector>
#include "simulator/Values.h"

namespace VarquelSim {

namespace {

struct Token {
    enum Kind { Word, Star, Equals, Literal, Number } kind;
    std::string text;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c); }

std::optional<std::vector<Token>> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (IsSpace(c)) {
            ++i;
        } else if (c == '*') {
            tokens.push_back({Token::Star, "*"});
            ++i;
        } else if (c == '=') {
            tokens.push_back({Token::Equals, "="});
            ++i;
        } else if (IsDigit(c) || (c == '-' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
            size_t start = i++;
            while (i < text.size() && IsDigit(text[i])) ++i;
            if (i < text.size() && IsWordChar(text[i])) return std::nullopt;
            tokens.push_back({Token::Number, std::string(text.substr(start, i - start))});
        } else if (IsWordStart(c)) {
            size_t start = i;
            while (i < text.size() && IsWordChar(text[i])) ++i;
            tokens.push_back({Token::Word, std::string(text.substr(start, i - start))});
        } else if (c == '\'' || c == '"') {
            char quote = c;
            std::string literal;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                char d = text[i++];
                if (d == quote) {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= text.size()) return std::nullopt;
                    char e = text[i++];
                    if (e != '\\' && e != '\'' && e != '"') return std::nullopt;
                    literal += e;
                } else {
                    literal += d;
                }
            }
            if (!closed) return std::nullopt;
            tokens.push_back({Token::Literal, std::move(literal)});
        } else {
            return std::nullopt;
        }
    }
    return tokens;
}

bool IsKeyword(const Token& token, std::string_view keyword) {
    return token.kind == Token::Word && EqualsNoCase(token.text, keyword);
}

} // namespace

std::optional<CWqlQuery> CWqlQuery::Parse(std::string_view text) {
    auto tokens = Tokenize(text);
    if (!tokens) return std::nullopt;
    const std::vector<Token>& t = *tokens;
    if (t.size() < 4 || !IsKeyword(t[0], "SELECT") || t[1].kind != Token::Star || !IsKeyword(t[2], "FROM") ||
        t[3].kind != Token::Word || IsKeyword(t[3], "WHERE"))
        return std::nullopt;
    CWqlQuery query;
    query.m_class = t[3].text;
    if (t.size() == 4) return query;
    if (t.size() != 8 || !IsKeyword(t[4], "WHERE") || t[5].kind != Token::Word || t[6].kind != Token::Equals ||
        (t[7].kind != Token::Literal && t[7].kind != Token::Number))
        return std::nullopt;
    query.m_property = t[5].text;
    query.m_literal = t[7].text;
    query.m_number = t[7].kind == Token::Number;
    return query;
}

} // namespace VarquelSim
