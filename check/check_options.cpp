/*
 * The command line of the check run. Single-threaded.
 */
#include "check/check_options.h"

#include "agent/log.h"
#include "check/text.h"

namespace orv {

namespace {

enum class OptionKind { kText, kNumber };

struct OptionSpec {
    const char* name;
    OptionKind kind;
    std::string CheckOptions::*text;
    int32_t CheckOptions::*number;
    const char* logLine;
};

// Matched in this order.
const OptionSpec kOptions[] = {
    {"-name", OptionKind::kText, &CheckOptions::name, nullptr, "Antivirus Name To Check : %s\n"},
    {"-foundError", OptionKind::kNumber, nullptr, &CheckOptions::foundError, "Error Code If Found : %ld\n"},
    {"-notFoundError", OptionKind::kNumber, nullptr, &CheckOptions::notFoundError, "Error Code If Not Found : %ld\n"},
    {"-fileToInstall", OptionKind::kText, &CheckOptions::fileToInstall, nullptr, "File To Install : %s\n"},
    {"-switch", OptionKind::kText, &CheckOptions::installSwitch, nullptr, "Install Switch : %s\n"},
    {"-installIfAvFound", OptionKind::kNumber, nullptr, &CheckOptions::installIfAvFound, "Install If AV Found : %ld\n"},
    {"-processname", OptionKind::kText, &CheckOptions::processName, nullptr, "Process Name : %s\n"},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

bool ParseLongValue(const char* text, int32_t* value) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') return false;
    uint32_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) magnitude = magnitude * 10u + static_cast<uint32_t>(*p - '0');
    if (negative) magnitude = 0u - magnitude;
    *value = static_cast<int32_t>(magnitude);
    return true;
}

void ParseCheckOptions(int argc, const char* const* argv, CheckOptions* options) {
    int i = 1;
    while (i < argc) {
        const OptionSpec* match = nullptr;
        for (const OptionSpec& spec : kOptions) {
            if (EqualsIgnoreAsciiCase(argv[i], spec.name)) {
                match = &spec;
                break;
            }
        }
        if (match == nullptr || i + 1 >= argc) {
            ++i;
            continue;
        }
        const char* value = argv[i + 1];
        if (match->kind == OptionKind::kText) {
            options->*(match->text) = value;
            LogInfo(match->logLine, (options->*(match->text)).c_str());
        } else {
            ParseLongValue(value, &(options->*(match->number)));
            LogInfo(match->logLine, static_cast<long>(options->*(match->number)));
        }
        i += 2;
    }
}

}  // namespace orv
