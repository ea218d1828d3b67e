/*
 * Object identifiers and IP addresses: arrays of unsigned 32-bit
 * sub-identifiers with a count. An OID's text has a dot before every
 * sub-identifier (".1.3.6.1.2.1"); an IP address's text is "a.b.c.d"
 * without a leading dot.
 *
 * Each named conversion logs "@@@ Inside <name> @@@\n" at TRACE first.
 * Heap results are released with free(). All routines are thread-safe.
 */
#ifndef ORV_UTIL_CONV_OID_H
#define ORV_UTIL_CONV_OID_H

#include <cstddef>
#include <cstdint>

namespace orv {

/* The text size that holds any sub-identifier in decimal with its dot. */
inline constexpr size_t kOidTextPerSubId = 11;

/* The number of "." characters in the len bytes of text (0 for null). */
uint16_t GetOidLength(const char* text, int32_t len);

/* Reads an OID text (isIp false: its first character, the leading dot, is
 * skipped) or an IP address text (isIp true) into OUT *out, a new
 * zero-filled array of n + 1 words where n is the number of dots (OID) or
 * dots plus one (IP). Each piece between dots must be a non-empty decimal
 * text (an optional "+" and digits) of at most 4294967295.
 * Returns n when exactly n pieces were read, 0 otherwise (the array stays
 * the caller's in both cases), -1 when the text has no dot ("Incorrect
 * format of IpAddress\n" or "Incorrect format of OID\n" at ERROR), a piece
 * breaks the rule, or memory is short (*out is then null). */
int32_t ConvertToOidOrIpFromString(uint32_t** out, const char* text, bool isIp);

/* True when the len bytes of text start with a dot and hold more than one
 * dot. */
bool IsValidOid(const char* text, int32_t len);

/* True when the len bytes of text hold exactly 3 dots, start with none,
 * have no two together, and each piece is a number text of at most 255
 * (an empty last piece counts as 0; a piece of value 0 holds zeros only).
 * Logs "len is %d\n" at TRACE. */
bool IsValidIPAddress(const char* text, int32_t len);

/* The dotted text of the *length / 4 sub-identifiers in a new heap text;
 * OUT *length: the text's length. Null for a null argument or when memory
 * is short. */
char* ConvertToStringFromOID(const uint32_t* subIds, int32_t* length);

/* Writes the dotted text of count sub-identifiers into buffer and returns
 * 1. REQUIRES: buffer holds kOidTextPerSubId * count + 1 bytes. */
uint8_t ConvertToStringFromOid(const uint32_t* subIds, int32_t count, char* buffer);

/* The same into a buffer of size bytes: 1 when the whole text and its
 * terminator fit, else 0 with buffer left an empty text (when size > 0). */
uint8_t ConvertToStringFromOidBounded(const uint32_t* subIds, int32_t count, char* buffer, size_t size);

/* Writes subIds[first] up to before subIds[end] in decimal, separated by
 * dots, and a terminator into out. REQUIRES: out holds
 * kOidTextPerSubId * (end - first) + 1 bytes (4 per entry for values up to
 * 255). */
void ConvertToIpAddressFromOid(char* out, const uint32_t* subIds, int32_t first, int32_t end);

/* The same into a buffer of size bytes: true when it fit, else false with
 * out an empty text (when size > 0). */
bool ConvertToIpAddressFromOidBounded(char* out, size_t size, const uint32_t* subIds, int32_t first,
                                      int32_t end);

/* Element by element as unsigned numbers: 1 / -1 at the first difference
 * when the first is greater / smaller; with a common prefix 1 when the
 * first is longer, -1 when shorter, 0 when equal. */
int8_t CompareOid(const uint32_t* first, int32_t firstCount, const uint32_t* second, int32_t secondCount);

/* Copies count sub-identifiers. REQUIRES: dest holds count words. */
void CopyOid(uint32_t* dest, const uint32_t* src, int32_t count);

/* Copies count sub-identifiers into dest[offset] on.
 * REQUIRES: dest holds offset + count words. */
void SetNOid(uint32_t* dest, const uint32_t* src, int32_t offset, int32_t count);

/* The same into a destination of capacity words: false (nothing written)
 * when offset + count exceeds it. */
bool SetNOidBounded(uint32_t* dest, size_t capacity, const uint32_t* src, int32_t offset, int32_t count);

/* Widens each byte of text (of its length) into one sub-identifier.
 * REQUIRES: dest holds strlen(text) words. */
void CopyStringToOid(uint32_t* dest, const char* text);

/* The same into a destination of capacity words: false (nothing written)
 * when strlen(text) words do not fit. */
bool CopyStringToOidBounded(uint32_t* dest, size_t capacity, const char* text);

/* Widens the len bytes of text into len sub-identifiers.
 * REQUIRES: dest holds len words. */
void CopyStringToOID(uint32_t* dest, const char* text, int32_t len);

/* Writes subIds[start] up to before subIds[count], each modulo 255, as
 * bytes into out and terminates it. REQUIRES: out holds count - start + 1
 * bytes. */
void ConvertToCharArray(char* out, const uint32_t* subIds, int32_t start, int32_t count);

/* The same into a buffer of size bytes: false (out an empty text when
 * size > 0) when the bytes and terminator do not fit. */
bool ConvertToCharArrayBounded(char* out, size_t size, const uint32_t* subIds, int32_t start, int32_t count);

/* The first of count sub-identifiers greater than value, or 0. */
uint32_t GetNextSubId(const uint32_t* subIds, int32_t count, uint32_t value);

/* Frees *buffer and stores a new copy of the len bytes with a terminator.
 * Returns 1, or 99 with "Unable to allocate memory\n" at ERROR (then
 * *buffer is null). */
uint8_t ReallocateAndSetString(char** buffer, const char* bytes, int32_t len);

/* Frees *buffer and stores a new copy of the count sub-identifiers; OUT
 * *outCount: count. Returns 1, or 99 with "Unable to allocate memory" at
 * ERROR (then *buffer is null and *outCount 0). */
uint8_t ReallocateAndSetOID(uint32_t** buffer, int32_t* outCount, const uint32_t* subIds, int32_t count);

/* Each of the len bytes written as a DEBUG record with the caller's format,
 * then a line end. The format must hold exactly one conversion of an
 * unsigned byte (%d, %i, %u, %x, %X, %o or %c, with optional flags, width
 * and precision) and no "*"; any other format writes nothing and returns
 * false. */
bool PrintStream(const uint8_t* bytes, int32_t len, const char* format);

/* Each sub-identifier written with "%lu\t" as DEBUG records, then a line
 * end. */
void PrintOid(const uint32_t* subIds, int32_t count);

}  // namespace orv

#endif
