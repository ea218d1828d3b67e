/*
 * Conversions of numbers: hexadecimal digits, integers as decimal texts,
 * the decimal and fraction text rules, big-endian byte integers and the
 * 64-bit counter of network management (Counter64: a high and a low word).
 *
 * Each named conversion logs "@@@ Inside <name> @@@\n" at TRACE first.
 * Texts returned are new heap blocks, released with free(). All routines
 * are thread-safe.
 */
#ifndef ORV_UTIL_CONV_NUMBER_H
#define ORV_UTIL_CONV_NUMBER_H

#include <cstddef>
#include <cstdint>

namespace orv {

/* Hexadecimal digit value of c: "0"-"9" give 0-9, "A"-"F" and "a"-"f"
 * give 10-15; any other character gives its own code unchanged. */
uint8_t GetHexValue(char c);

/* As GetHexValue, but any other character gives 0. */
uint8_t ConvertToDecimalFromHexa(char c);

/* Packs each pair of the len hexadecimal digits of text (first digit the
 * high nibble, by GetHexValue) into one byte and writes the len / 2 bytes
 * back over the start of text; an odd last digit is ignored. Writes only
 * within the len bytes given. */
void ConvertToHexValue(char* text, int32_t len);

/* Writes 2 * len bytes to out: each input byte's high nibble, then its low
 * nibble, as numbers 0 to 15 (not as characters).
 * REQUIRES: out holds 2 * len bytes. */
void ConvertToStringFromHex(const uint8_t* bytes, int32_t len, uint8_t* out);

/* The same into a buffer of outSize bytes: false (nothing written) when
 * 2 * len bytes do not fit or an argument is null. */
bool ConvertToStringFromHexBounded(const uint8_t* bytes, int32_t len, uint8_t* out, size_t outSize);

/* The size of the zero-filled texts of the integer conversions. */
inline constexpr size_t kIntegerTextSize = 20;

/* The decimal text of *value, "-" first when negative, in a new 20-byte
 * zero-filled text; null for a null argument or when memory is short
 * ("Unable to allocate buffer !!! \n" at ERROR). Logs "The string is %s\n"
 * at TRACE. */
char* ConvertToStringFromInteger(const int32_t* value);

/* The decimal text of *value as above; OUT *length: the number of digits
 * (when length is not null). Logs "The value is %d\n" and "The string is
 * %s\n" at TRACE. */
char* ConvertToStringFromUnsignedInteger(const uint32_t* value, int32_t* length);

/* Type 0: ConvertToStringFromInteger of the signed 32-bit *value. Type 1: a
 * new 6-byte text "TRUE" when value itself is not null, "FALSE" when it is.
 * Any other type: null. */
char* ToString(const void* value, int32_t type);

/* The decimal text rule: an optional "+" or "-" followed by one or more
 * digits and nothing else. True when text keeps the rule. */
bool IsIntegerText(const char* text);

/* The value of a decimal text, negated for "-"; -1 when the text breaks the
 * rule, is null, or its value lies outside the signed 32-bit range (so -1
 * cannot be told from an error). */
int32_t ConvertTextToInteger(const char* text);

/* The fraction rule: an optional "+" or "-", then digits with at most one
 * "." among them, at least one digit in all. */
bool IsNumberText(const char* text);

/* The value of a number text by the fraction rule; -1 when it breaks it. */
double ConvertTextToDouble(const char* text);

/* A big-endian integer of up to 4 bytes whose first byte is taken with its
 * sign; -1 for more than 4 bytes or a null argument, 0 for none. */
int32_t ConvertToInteger(const uint8_t* bytes, int32_t count);

/* A big-endian integer of all the bytes taken as unsigned; beyond 4 bytes
 * the value keeps its low 32 bits. 0 for a null argument. */
uint32_t ConvertToUnsignedInteger(const uint8_t* bytes, int32_t count);

/* A 64-bit counter: the high word first, the low word second. */
struct Counter64 {
    uint32_t high;
    uint32_t low;
};

/* high * 2^32 + low. */
uint64_t ConvertToULongLongFromCounter64(uint32_t high, uint32_t low);

/* The two halves of value in Counter64 order. */
Counter64 ConvertToCounter64FromULongLong(uint64_t value);

/* Fills *out from big-endian octets: the last (up to) four form the low
 * word, those before them the high word; with 9 octets the first is
 * skipped. False (out cleared) for a count below 1 or above 9 or a null
 * argument. */
bool ConvertToCounter64(Counter64* out, const uint8_t* octets, int32_t count);

/* The size of the Counter64 text. */
inline constexpr size_t kCounter64TextSize = 21;

/* A new 21-byte text with the signed decimal ("%lld") of the 64-bit value;
 * null for a null argument or when memory is short. Logs "The String is :
 * %s\n" at DEBUG. */
char* ConvertToStringFromCounter64(const Counter64* value);

}  // namespace orv

#endif
