// Fuzzes the data dictionary loader: every input is written to one file of
// this process and loaded as an XML data dictionary file into a fresh table
// list, which is then emptied again. No log is open, so the loader's
// records are dropped. The loader must not crash, overflow or leak on any
// input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datastore/datadict.h"
#include "datastore/table_defn.h"

namespace {

std::string g_directory;
std::string g_path;

void RemoveInputFile() {
    unlink(g_path.c_str());
    rmdir(g_directory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/orv-fuzz-datadict-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("fuzz_datadict_xml: mkdtemp");
        std::abort();
    }
    g_directory = pattern;
    g_path = g_directory + "/input.xml";
    std::atexit(RemoveInputFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    if (file == nullptr) {
        std::perror("fuzz_datadict_xml: cannot write the input file");
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::perror("fuzz_datadict_xml: cannot write the input file");
        std::abort();
    }
    std::fclose(file);

    orv::InitTableDefnList();
    orv::LoadDataDictFromXMLFile(g_path.c_str());
    orv::FreeAllTableDefns();
    return 0;
}
