/*
 * The parser of velkra's command lines: the words after a sub-command's
 * name read into options and positional arguments, then checked by the
 * sub-command's table entry (cli/commands.h).
 */
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"

namespace orv::cli {

namespace {

/* The usage message for the positional arguments, or "". */
std::string CheckArguments(const Command& command, const std::vector<std::string>& words) {
    const Arguments& spec = command.arguments;
    if (words.size() < spec.min) return spec.missing + SeeHelp(command.name);
    if (words.size() > spec.max) {
        if (spec.surplus != nullptr) return spec.surplus + SeeHelp(command.name);
        return "unexpected argument '" + words[spec.max] + "'" + SeeHelp(command.name);
    }
    if (spec.empty != nullptr) {
        for (const std::string& word : words) {
            if (word.empty()) return spec.empty + SeeHelp(command.name);
        }
    }
    return "";
}

}  // namespace

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions) {
    ParsedArgs parsed;
    bool onlyPositional = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositional || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        bool known = false;
        for (const std::string& option : valueOptions) known = known || option == name;
        if (!known) {
            parsed.error = "unknown option '" + name + "'";
            return parsed;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                parsed.error = "option '" + name + "' needs a value";
                return parsed;
            }
            value = args[++i];
        }
        parsed.values.emplace_back(name, value);
    }
    return parsed;
}

int RunCommand(const Command& command, const std::vector<std::string>& words) {
    ParsedArgs parsed = ParseArgs(words, command.options);
    if (!parsed.error.empty()) {
        PrintError(command.name, parsed.error + SeeHelp(command.name));
        return kExitUsage;
    }
    if (parsed.help) {
        fputs(command.help, stdout);
        return kExitOk;
    }
    std::string message;
    if (command.checkFirst != nullptr) message = command.checkFirst(command.name, parsed);
    if (message.empty()) message = CheckArguments(command, parsed.positional);
    if (message.empty() && command.checkAfter != nullptr) message = command.checkAfter(command.name, parsed);
    if (!message.empty()) {
        PrintError(command.name, message);
        return kExitUsage;
    }
    return command.run(parsed);
}

std::string RootNotEmpty(const char*, const ParsedArgs& args) {
    const std::string* root = args.Get("--root");
    return root != nullptr && root->empty() ? "option '--root' needs a directory" : "";
}

std::string RootNeeded(const char* command, const ParsedArgs& args) {
    const std::string* root = args.Get("--root");
    if (root != nullptr && !root->empty()) return "";
    return "option '--root' with the library root is needed" + SeeHelp(command);
}

}  // namespace orv::cli
