/*
 * Reading the library's plain configuration files: blank-separated words
 * (line ends count as blanks) and the rest of a line, each with a bound;
 * a longer word or rest is read whole and reported as too long, so that
 * the caller can refuse it cleanly. Used by connparams.txt and
 * dsn_table_map.txt.
 */
#ifndef ORV_DB_WORD_READER_H
#define ORV_DB_WORD_READER_H

#include <cstdio>
#include <string>

namespace orv {

enum class WordRead { kWord, kTooLong, kEnd };

/* Skips white space, then reads one word of at most bound characters. */
WordRead ReadBoundedWord(FILE* file, size_t bound, std::string* word);

/* Reads the rest of the current line without its line end (and without a
 * carriage return before it). kEnd only at the end of the file with
 * nothing read. */
WordRead ReadRestOfLine(FILE* file, size_t bound, std::string* rest);

/* Opens path, else "<root>/data/<name>" (logging "Opening %s\n" at DEBUG)
 * when the library root is set and the path is at most bound characters.
 * Null when neither opens. */
FILE* OpenDataFile(const char* path, const char* name, size_t bound);

}  // namespace orv

#endif
