/*
 * The criteria parser, freeing trees, and the criteria lock.
 *
 * The parser is a loop over tokens with an explicit stack of open groups,
 * so neither nesting nor long chains use the machine stack. Each stack
 * entry is one expression being built: its root and the logical node
 * whose right operand comes next (none before the first operator). As
 * "and" and "or" share one precedence and group to the right, an operator
 * takes the expression's last operand as its left operand and puts itself
 * in that operand's place. Every node is linked into its expression as
 * soon as it is built, so a failed parse frees everything from the roots.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/object_lock.h"
#include "datastore/criteria.h"
#include "datastore/criteria_scan.h"

namespace orv {

namespace {

/* The key of the criteria lock. */
const char g_criteriaLockKey = 0;

constexpr int32_t kInitialStack = 200;

struct Group {
    FilterNode* root;
    FilterNode* hole; /* logical node whose right operand is the last or next operand */
};

struct GroupStack {
    Group* entries;
    int32_t count;
    int32_t capacity;
};

/* Pushes an empty group; false when memory runs out. */
bool PushGroup(GroupStack* stack) {
    if (stack->count == stack->capacity) {
        int32_t capacity = stack->capacity == 0 ? kInitialStack : stack->capacity * 2;
        auto* grown = static_cast<Group*>(realloc(stack->entries, sizeof(Group) * static_cast<size_t>(capacity)));
        if (grown == nullptr) return false;
        stack->entries = grown;
        stack->capacity = capacity;
    }
    stack->entries[stack->count++] = Group{nullptr, nullptr};
    return true;
}

char* CopyBytes(const char* bytes, size_t length) {
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, bytes, length);
    copy[length] = '\0';
    return copy;
}

/* Links a finished operand into the group: as its root, or as the right
 * operand of the pending logical node. */
void AttachOperand(Group* group, FilterNode* operand) {
    if (group->hole != nullptr) {
        group->hole->right = operand;
        operand->parent = group->hole;
    } else {
        group->root = operand;
    }
}

/* The group's last operand becomes the left operand of the new logical
 * node, which takes its place. */
void AttachOperator(Group* group, FilterNode* logical) {
    FilterNode* last = group->hole != nullptr ? group->hole->right : group->root;
    logical->left = last;
    last->parent = logical;
    AttachOperand(group, logical);
    group->hole = logical;
}

/* "<" and ">", "<=" and ">=" swap; "=" and "!=" stay. */
uint8_t Mirror(uint8_t op) {
    switch (op) {
        case kOpLess: return kOpGreater;
        case kOpGreater: return kOpLess;
        case kOpLessEqual: return kOpGreaterEqual;
        case kOpGreaterEqual: return kOpLessEqual;
        default: return op;
    }
}

enum class Failure { kNone, kSyntax, kInvalid, kNesting, kMemory };

struct ParseState {
    const char* text;
    CriteriaScanner scanner;
    GroupStack stack;
    Failure failure;
    CriteriaLexeme at; /* the token where the parse stopped */
};

void Fail(ParseState* state, Failure failure, const CriteriaLexeme& at) {
    state->failure = failure;
    state->at = at;
}

/* A syntax error, unless the token is an invalid character. */
void FailAt(ParseState* state, const CriteriaLexeme& at) {
    Fail(state, at.token == CriteriaToken::kInvalid ? Failure::kInvalid : Failure::kSyntax, at);
}

/* A comparison starting with first (a column or a literal). */
FilterNode* ParseComparison(ParseState* state, const CriteriaLexeme& first) {
    CriteriaLexeme op = ScanCriteriaToken(&state->scanner);
    if (op.token != CriteriaToken::kOperator) {
        FailAt(state, op);
        return nullptr;
    }
    CriteriaLexeme second = ScanCriteriaToken(&state->scanner);
    const CriteriaToken wanted =
        first.token == CriteriaToken::kColumn ? CriteriaToken::kLiteral : CriteriaToken::kColumn;
    if (second.token != wanted) {
        FailAt(state, second);
        return nullptr;
    }
    const CriteriaLexeme& column = first.token == CriteriaToken::kColumn ? first : second;
    const CriteriaLexeme& literal = first.token == CriteriaToken::kColumn ? second : first;
    auto* node = static_cast<FilterNode*>(calloc(1, sizeof(FilterNode)));
    if (node != nullptr) {
        node->columnName = CopyBytes(state->text + column.start, column.length);
        node->literal = CopyBytes(state->text + literal.start, literal.length);
    }
    if (node == nullptr || node->columnName == nullptr || node->literal == nullptr) {
        FreeCriteria(node);
        Fail(state, Failure::kMemory, first);
        return nullptr;
    }
    node->op = first.token == CriteriaToken::kColumn ? op.op : Mirror(op.op);
    return node;
}

/* After the expression's line end only blanks and line ends may follow. */
bool CheckTrailing(ParseState* state) {
    for (;;) {
        CriteriaLexeme next = ScanCriteriaToken(&state->scanner);
        if (next.token == CriteriaToken::kEnd) return true;
        if (next.token != CriteriaToken::kLineEnd) {
            FailAt(state, next);
            return false;
        }
    }
}

/* The root of the whole expression, or null with state->failure set. On
 * failure the groups still hold every node built. */
FilterNode* RunParser(ParseState* state) {
    if (!PushGroup(&state->stack)) {
        Fail(state, Failure::kMemory, CriteriaLexeme{});
        return nullptr;
    }
    bool expectOperand = true;
    for (;;) {
        CriteriaLexeme token = ScanCriteriaToken(&state->scanner);
        Group* group = &state->stack.entries[state->stack.count - 1];
        if (expectOperand) {
            if (token.token == CriteriaToken::kOpen) {
                if (state->stack.count > kMaxCriteriaStack) {
                    Fail(state, Failure::kNesting, token);
                    return nullptr;
                }
                if (!PushGroup(&state->stack)) {
                    Fail(state, Failure::kMemory, token);
                    return nullptr;
                }
                continue;
            }
            if (token.token != CriteriaToken::kColumn && token.token != CriteriaToken::kLiteral) {
                FailAt(state, token);
                return nullptr;
            }
            FilterNode* comparison = ParseComparison(state, token);
            if (comparison == nullptr) return nullptr;
            AttachOperand(group, comparison);
            expectOperand = false;
            continue;
        }
        switch (token.token) {
            case CriteriaToken::kAnd:
            case CriteriaToken::kOr: {
                auto* logical = static_cast<FilterNode*>(calloc(1, sizeof(FilterNode)));
                if (logical == nullptr) {
                    Fail(state, Failure::kMemory, token);
                    return nullptr;
                }
                logical->op = token.token == CriteriaToken::kAnd ? kOpAnd : kOpOr;
                AttachOperator(group, logical);
                expectOperand = true;
                break;
            }
            case CriteriaToken::kClose: {
                if (state->stack.count == 1) {
                    FailAt(state, token);
                    return nullptr;
                }
                FilterNode* inner = group->root;
                state->stack.count--;
                AttachOperand(&state->stack.entries[state->stack.count - 1], inner);
                break;
            }
            case CriteriaToken::kLineEnd:
            case CriteriaToken::kEnd: {
                if (state->stack.count != 1) {
                    FailAt(state, token);
                    return nullptr;
                }
                if (token.token == CriteriaToken::kLineEnd && !CheckTrailing(state)) return nullptr;
                FilterNode* root = group->root;
                group->root = nullptr;
                return root;
            }
            default:
                FailAt(state, token);
                return nullptr;
        }
    }
}

void Describe(const ParseState& state, std::string* error) {
    char text[96];
    const size_t position = state.at.start + 1;
    switch (state.failure) {
        case Failure::kInvalid: {
            const auto c = static_cast<unsigned char>(state.text[state.at.start]);
            if (c >= 0x20 && c < 0x7f) {
                snprintf(text, sizeof(text), "invalid character '%c' at position %zu", c, position);
            } else {
                snprintf(text, sizeof(text), "invalid character '\\x%02x' at position %zu", c, position);
            }
            break;
        }
        case Failure::kNesting:
            snprintf(text, sizeof(text), "nesting deeper than %d", static_cast<int>(kMaxCriteriaStack));
            break;
        case Failure::kMemory:
            snprintf(text, sizeof(text), "out of memory");
            break;
        default:
            snprintf(text, sizeof(text), "syntax error at position %zu", position);
            break;
    }
    error->assign(text);
}

}  // namespace

FilterNode* ParseCriteria(const char* text, std::string* error) {
    if (text == nullptr) {
        if (error != nullptr) error->assign("no criteria text");
        return nullptr;
    }
    ParseState state{};
    state.text = text;
    state.scanner = CriteriaScanner{text, 0};
    FilterNode* root = RunParser(&state);
    for (int32_t i = 0; i < state.stack.count; i++) FreeCriteria(state.stack.entries[i].root);
    free(state.stack.entries);
    if (root == nullptr && error != nullptr) Describe(state, error);
    return root;
}

void FreeCriteria(FilterNode* root) {
    // Rotates left operands up so that the tree becomes a chain of right
    // operands, freeing each node that has no left operand: no stack, and
    // parent links are not needed.
    FilterNode* node = root;
    while (node != nullptr) {
        if (node->left != nullptr) {
            FilterNode* left = node->left;
            node->left = left->right;
            left->right = node;
            node = left;
        } else {
            FilterNode* right = node->right;
            free(node->columnName);
            free(node->literal);
            free(node->boundValue);
            free(node);
            node = right;
        }
    }
}

void LockCriteria() { LockObject(&g_criteriaLockKey); }

void UnlockCriteria() { UnlockObject(&g_criteriaLockKey); }

}  // namespace orv
