/*
 * The criteria scanner: one token at a time, longest match first.
 */
#include "datastore/criteria_scan.h"

#include "datastore/criteria.h"

namespace orv {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/* ASCII letters only: bytes above 127 are invalid characters. */
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

CriteriaLexeme Make(CriteriaToken token, size_t start, size_t length, uint8_t op = 0) {
    return CriteriaLexeme{token, op, start, length};
}

}  // namespace

CriteriaLexeme ScanCriteriaToken(CriteriaScanner* scanner) {
    const char* text = scanner->text;
    size_t p = scanner->position;
    while (text[p] == ' ' || text[p] == '\t') ++p;
    const size_t start = p;
    const char c = text[p];
    CriteriaLexeme lexeme;

    if (c == '\0') {
        lexeme = Make(CriteriaToken::kEnd, start, 0);
    } else if (c == '\n') {
        lexeme = Make(CriteriaToken::kLineEnd, start, 1);
    } else if (IsDigit(c)) {
        size_t q = p;
        while (IsDigit(text[q])) ++q;
        // digits "." digits is longer than the digits alone; "3." is not.
        if (text[q] == '.' && IsDigit(text[q + 1])) {
            q += 1;
            while (IsDigit(text[q])) ++q;
        }
        lexeme = Make(CriteriaToken::kLiteral, start, q - start);
    } else if (c == '\'') {
        size_t q = p + 1;
        while (text[q] != '\0' && text[q] != '\'' && text[q] != '\n') ++q;
        if (text[q] == '\'') {
            lexeme = Make(CriteriaToken::kLiteral, start, q + 1 - start);
        } else {
            // No closing quote on this line: the quote alone starts no token.
            lexeme = Make(CriteriaToken::kInvalid, start, 1);
        }
    } else if (IsLetter(c)) {
        size_t q = p;
        while (IsLetter(text[q]) || IsDigit(text[q]) || text[q] == '_') ++q;
        const size_t n = q - start;
        CriteriaToken token = CriteriaToken::kColumn;
        if (n == 3 && text[p] == 'a' && text[p + 1] == 'n' && text[p + 2] == 'd') token = CriteriaToken::kAnd;
        if (n == 2 && text[p] == 'o' && text[p + 1] == 'r') token = CriteriaToken::kOr;
        lexeme = Make(token, start, n);
    } else if (c == '(') {
        lexeme = Make(CriteriaToken::kOpen, start, 1);
    } else if (c == ')') {
        lexeme = Make(CriteriaToken::kClose, start, 1);
    } else if (c == '<') {
        lexeme = text[p + 1] == '=' ? Make(CriteriaToken::kOperator, start, 2, kOpLessEqual)
                                    : Make(CriteriaToken::kOperator, start, 1, kOpLess);
    } else if (c == '>') {
        lexeme = text[p + 1] == '=' ? Make(CriteriaToken::kOperator, start, 2, kOpGreaterEqual)
                                    : Make(CriteriaToken::kOperator, start, 1, kOpGreater);
    } else if (c == '=') {
        lexeme = Make(CriteriaToken::kOperator, start, 1, kOpEqual);
    } else if (c == '!' && text[p + 1] == '=') {
        lexeme = Make(CriteriaToken::kOperator, start, 2, kOpNotEqual);
    } else {
        lexeme = Make(CriteriaToken::kInvalid, start, 1);
    }
    scanner->position = start + lexeme.length;
    return lexeme;
}

}  // namespace orv
