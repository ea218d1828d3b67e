/*
 * Bounded words and line rests from the configuration files.
 */
#include "db/word_reader.h"

#include <cctype>

#include "agent/log.h"
#include "datastore/velkra_root.h"

namespace orv {

WordRead ReadBoundedWord(FILE* file, size_t bound, std::string* word) {
    word->clear();
    int ch;
    do {
        ch = fgetc(file);
    } while (ch != EOF && isspace(ch));
    if (ch == EOF) return WordRead::kEnd;
    bool tooLong = false;
    while (ch != EOF && !isspace(ch)) {
        if (word->size() < bound) {
            word->push_back(static_cast<char>(ch));
        } else {
            tooLong = true;
        }
        ch = fgetc(file);
    }
    if (ch != EOF) ungetc(ch, file);
    return tooLong ? WordRead::kTooLong : WordRead::kWord;
}

WordRead ReadRestOfLine(FILE* file, size_t bound, std::string* rest) {
    rest->clear();
    int ch = fgetc(file);
    if (ch == EOF) return WordRead::kEnd;
    bool tooLong = false;
    while (ch != EOF && ch != '\n') {
        if (rest->size() < bound) {
            rest->push_back(static_cast<char>(ch));
        } else {
            tooLong = true;
        }
        ch = fgetc(file);
    }
    if (!rest->empty() && rest->back() == '\r') rest->pop_back();
    return tooLong ? WordRead::kTooLong : WordRead::kWord;
}

FILE* OpenDataFile(const char* path, const char* name, size_t bound) {
    DataFilePlace place;
    FILE* file = OpenLibraryDataFile(path, name, bound, &place);
    if (place.tooLong) {
        LogError("Path of %s under the library root longer than %zu characters refused.\n", name, bound);
    }
    return file;
}

}  // namespace orv
