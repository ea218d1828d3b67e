/*
 * String routines of the library: printf into a std::string, case and
 * character-class copies, substring search, pieces and removal, trimming,
 * splitting, comparisons that order a missing text first, and copies into
 * a caller's buffer.
 *
 * Results are new zero-filled heap texts (released with free()) unless
 * said otherwise; null means none (also for a null argument or short
 * memory). The occurrence scans are single forward passes: on a mismatch
 * the pattern starts again without comparing that character again, as
 * FindSubstringPos of agent/log_rotation.h does. An empty pattern never
 * occurs. All routines are thread-safe.
 */
#ifndef ORV_UTIL_STRING_UTIL_H
#define ORV_UTIL_STRING_UTIL_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "agent/log.h"

namespace orv {

/* printf into a new std::string: the whole formatted text, however long;
 * an empty text when the format fails. PrintfV reads its va_list through
 * copies, so the caller may read it again (and still ends it). */
std::string Printf(const char* format, ...) ORV_PRINTF(1, 2);
std::string PrintfV(const char* format, va_list args) ORV_PRINTF(1, 0);

/* Copies with only "a"-"z" made upper case / only "A"-"Z" made lower case. */
char* ToUpperCopy(const char* text);
char* ToLowerCopy(const char* text);

/* Copies keeping only letters / only letters and digits / only the
 * characters that are neither. */
char* LettersOnlyCopy(const char* text);
char* LettersAndDigitsCopy(const char* text);
char* WithoutLettersAndDigitsCopy(const char* text);

/* A pointer into text at the first occurrence of pattern, or null. */
const char* SubString(const char* text, const char* pattern);

/* True when pattern occurs in text. */
bool FindSubString(const char* text, const char* pattern);

/* The number of (non-overlapping) occurrences of pattern in text. */
int32_t CountSubString(const char* text, const char* pattern);

/* Where the last occurrence of pattern begins, -1 when absent. */
int64_t FindLastSubstringPos(const char* text, const char* pattern);

/* The text after the first / after the last occurrence of pattern; none
 * when the pattern does not occur. */
char* TextAfterFirst(const char* text, const char* pattern);
char* TextAfterLast(const char* text, const char* pattern);

/* The text with every occurrence of pattern removed (a copy when there is
 * none); with the first / with the last occurrence removed (none when the
 * pattern does not occur). */
char* RemoveAllSubString(const char* text, const char* pattern);
char* RemoveFirstSubString(const char* text, const char* pattern);
char* RemoveLastSubString(const char* text, const char* pattern);

/* The text without the character c at its front (an empty text gives
 * none), at its back (a text of one character gives none), or both. */
char* TrimFront(const char* text, char c);
char* TrimBack(const char* text, char c);
char* TrimBoth(const char* text, char c);

/* A re-entrant tokenizer: the next piece of text between characters of
 * delimiters, written over text (the delimiter after it becomes a
 * terminator), with *cursor kept between calls. First call with text,
 * later calls with null. Returns null when no piece is left. */
char* TokenizeString(char* text, const char* delimiters, char** cursor);

/* The pieces of text between occurrences of pattern (empty pieces kept),
 * as a new null-terminated array of new texts; OUT *count (when not null):
 * the number of pieces. Released with FreeStringArray. */
char** SplitString(const char* text, const char* pattern, int32_t* count);

/* The pieces of the length bytes between separator characters as a new
 * array of new texts; OUT *lengths: a new array of their lengths; OUT
 * *count: the number of pieces. Returns the texts or null. Released with
 * FreeStringArray(texts, count) and free(lengths). */
char** SplitBytes(const char* bytes, int32_t length, char separator, int32_t** lengths, int32_t* count);

/* Frees count texts of array and the array. A count below 0 frees up to
 * the first null entry. */
void FreeStringArray(char** array, int32_t count);

/* Splits list by "," and returns true when one piece has exactly length
 * bytes equal to bytes. */
bool IsStringMatched(const char* list, const char* bytes, int32_t length);

/* The index of c among the count characters of text, -1 if absent. */
int32_t GetIndex(const char* text, char c, int32_t count);

/* strcmp, strncmp and letter-case-ignoring comparisons in which a missing
 * text orders before a present one (two missing are equal). */
int32_t CompareStrings(const char* first, const char* second);
int32_t CompareStringsN(const char* first, const char* second, size_t length);
int32_t CompareStringsNoCase(const char* first, const char* second);

/* Copies source with its terminator into dest; returns dest, null for a
 * missing source. REQUIRES: dest holds strlen(source) + 1 bytes; prefer
 * CopyStringBounded. */
char* CopyString(char* dest, const char* source);

/* Copies at most length bytes of source, stopping after its terminator;
 * the rest of dest is left as it was (dest is not terminated when source
 * is longer). REQUIRES: dest holds length bytes. */
char* CopyStringN(char* dest, const char* source, size_t length);

/* Appends source to the text in dest; returns dest. REQUIRES: dest holds
 * both texts and a terminator; prefer AppendStringBounded. */
char* AppendString(char* dest, const char* source);

/* The length of text, 0 for a missing text. */
size_t StringLength(const char* text);

/* Copies / appends source into dest of size bytes, cutting it so that
 * dest always ends as a terminated text within size. Returns true when
 * nothing was cut, false when it was cut or an argument is null or size
 * is 0 (dest untouched then). */
bool CopyStringBounded(char* dest, size_t size, const char* source);
bool AppendStringBounded(char* dest, size_t size, const char* source);

}  // namespace orv

#endif
