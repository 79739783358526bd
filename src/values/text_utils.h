// Small text routines shared by the lexer, the parse tree, the columns, the
// value conversions and the evaluator: the LIKE match, bounded search and
// replace, field extraction, bounded copies and in-place edits.
//
// Every routine works on zero-terminated byte texts, compares bytes exactly
// (case-sensitively), accepts null pointers without faulting and never
// writes past the capacity it is given.
#ifndef ZKSQL_VALUES_TEXT_UTILS_H_
#define ZKSQL_VALUES_TEXT_UTILS_H_

#include <cstddef>
#include <cstdint>

namespace zksql {

// SQL LIKE: "%" counts only as the first and/or last pattern character,
// "_" anywhere matches one character, every other character (an inner "%"
// included) matches itself. 1 on a match, else 0.
int16_t Like(const char* text, const char* pattern);

// Compares n bytes like memcmp/strncmp: 0 when equal.
using CompareBytes = int (*)(const char* a, const char* b, size_t n);
// Decides whether the occurrence at `position` of `text` is replaced.
using AcceptOccurrence = bool (*)(void* user, const char* text, int32_t position);

// Replaces every occurrence of find in text, a buffer of capacity bytes.
// Replacements are not rescanned; the scan stops at the first replacement
// that would not leave room for the terminator. Returns the number made.
int32_t ReplaceAll(char* text, const char* find, const char* replacement, int32_t capacity);
// The general form: occurrences are found with `compare` and replaced only
// when `accept` (if given) says so.
int32_t ReplaceAll(char* text, const char* find, const char* replacement, int32_t capacity,
                   CompareBytes compare, AcceptOccurrence accept, void* user);

// Copies field n (from 1) of text, fields being separated by any character
// of separators, into out (cut to outSize - 1 characters). With merge,
// leading separators are skipped and a run of separators counts as one.
// Returns the field's copied length, or -1 (and an empty out) when the text
// has fewer fields.
int32_t FieldOf(int32_t n, const char* text, const char* separators, char* out, int32_t outSize,
                bool merge);

// A new heap text (free with free()) of the first n bytes of source (all of
// it when n < 1 or n passes its end); null for a null source or no memory.
char* DuplicateText(const char* source, int32_t n = 0);

// Copies at most size - 1 characters and a terminator; true when the
// whole source fitted, false when it was cut (or nothing could be written).
[[nodiscard]] bool BoundedCopy(char* destination, const char* source, int32_t size);

// Removes every occurrence of c, in place.
void RemoveChar(char* text, char c);

// Replaces the first n bytes of buffer by 2n upper-case hexadecimal digits
// and terminates the text; the buffer must hold 2n + 1 bytes.
void HexInPlace(char* buffer, int32_t n);

// Removes trailing blanks, in place.
void TrimRight(char* text);
// Upper-cases the ASCII letters, in place.
void UpperCase(char* text);
// Case-insensitive comparison of ASCII letters (other bytes exactly), as
// names are compared: <0, 0 or >0.
int CompareNoCase(const char* a, const char* b);

}  // namespace zksql

#endif  // ZKSQL_VALUES_TEXT_UTILS_H_
