/*
 * Texts for result codes: the operating system's message for a Windows
 * error code, else this system's own table of product, Office update and
 * Windows Update results, logged through the level writers. Thread-safe.
 */
#ifndef ORV_AGENT_RESULT_MESSAGES_H
#define ORV_AGENT_RESULT_MESSAGES_H

#include <cstdint>

#include "platform/win32.h"

namespace orv {

/* The table's text for code, or "Unknown Error. Code : %d" with the code in
 * signed decimal, in a new zero-filled heap buffer of 4096 bytes that the
 * caller frees with free(). Null when memory is short. */
char* GetResultCodeText(uint32_t code);

/* The system's text for code (UTF-8, on one line), else the table's; logs
 * "Error Code : %d , Error Message : %s \n" at ERROR, or for code 0
 * "Message : %s \n" at INFO. Returns the text as a new heap buffer that the
 * caller frees with free(); null when memory is short. */
char* DescribeResultCode(int32_t code);

/* DescribeResultCode, with the text released. */
void LogResultCode(int32_t code);

/* As LogResultCode, with the system's text in its narrow code page and
 * without leading or trailing blanks. Returns 0. */
int LogResultCodeAnsi(int32_t code);

/* OUT *out: a new zero-filled heap buffer with the UTF-8 form of text
 * (null when memory is short). Returns true when the whole text was
 * converted; on failure logs the system's text for the error at ERROR and
 * leaves *out the caller's, holding what was converted (possibly nothing). */
bool WideToUtf8(const WCHAR* text, char** out);

}  // namespace orv

#endif
