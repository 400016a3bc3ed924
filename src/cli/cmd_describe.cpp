// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Shell completions and the manual's command reference, both written from the parsed command
// definition itself so that neither can fall behind a new command or option.
#include "cli/command.h"

#include <iostream>
#include <memory>
#include <sstream>

namespace byteward::cli {
namespace {

struct Argument {
    std::vector<std::string> shortNames; // without the dash
    std::vector<std::string> longNames;  // without the dashes
    std::string positional;              // the name of a positional argument
    std::string description;
    std::string valueName; // empty for a flag
    std::vector<std::string> choices;
    bool required = false;

    bool takesValue() const { return !valueName.empty(); }
    bool isFile() const { return valueName == "FILE"; }
};

struct Command {
    std::vector<std::string> path; // empty for bytewardctl itself
    std::string description;
    std::vector<Argument> options;
    std::vector<Argument> positionals;
    std::vector<Command> children;
    bool takesRest = false; // everything after it goes through unparsed
    bool needsCommand = false;

    std::string joined(char separator) const {
        std::string out;
        for (const std::string &part : path)
            out += (out.empty() ? "" : std::string(1, separator)) + part;
        return out;
    }
};

// "TEXT:{cellular,wifi}" -> {"cellular", "wifi"}: how CLI11 shows a membership check.
std::vector<std::string> choicesIn(const std::string &typeName) {
    const auto open = typeName.find('{');
    const auto close = typeName.find('}', open);
    if (open == std::string::npos || close == std::string::npos) return {};
    std::vector<std::string> choices;
    std::stringstream list(typeName.substr(open + 1, close - open - 1));
    for (std::string item; std::getline(list, item, ',');)
        if (!item.empty()) choices.push_back(item);
    return choices;
}

Argument describeOption(const CLI::Option &option) {
    Argument argument;
    argument.shortNames = option.get_snames();
    argument.longNames = option.get_lnames();
    argument.positional = option.nonpositional() ? "" : option.get_name();
    argument.description = option.get_description();
    argument.required = option.get_required();
    if (option.get_items_expected_max() > 0) {
        const std::string type = option.get_type_name();
        argument.valueName = type.substr(0, type.find(':'));
        if (argument.valueName.empty()) argument.valueName = "VALUE";
        argument.choices = choicesIn(type);
    }
    return argument;
}

Command describe(const CLI::App &app, std::vector<std::string> path) {
    Command command;
    command.path = std::move(path);
    command.description = app.get_description();
    command.takesRest = app.get_prefix_command();
    command.needsCommand = app.get_require_subcommand_min() > 0;
    for (const CLI::Option *option : app.get_options()) {
        Argument argument = describeOption(*option);
        (option->nonpositional() ? command.options : command.positionals).push_back(argument);
    }
    // Commands without a group are the hidden ones.
    for (const CLI::App *sub :
         app.get_subcommands([](const CLI::App *a) { return !a->get_group().empty(); })) {
        std::vector<std::string> childPath = command.path;
        childPath.push_back(sub->get_name());
        command.children.push_back(describe(*sub, std::move(childPath)));
    }
    return command;
}

std::string joinWords(const std::vector<std::string> &words) {
    std::string out;
    for (const std::string &word : words)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

std::vector<std::string> optionWords(const Argument &option) {
    std::vector<std::string> words;
    for (const std::string &s : option.shortNames)
        words.push_back("-" + s);
    for (const std::string &l : option.longNames)
        words.push_back("--" + l);
    return words;
}

void forEach(const Command &command, const std::function<void(const Command &)> &visit) {
    visit(command);
    for (const Command &child : command.children)
        forEach(child, visit);
}

// ---- bash -----------------------------------------------------------------------------------

std::string bashScript(const Command &root) {
    std::ostringstream out;
    out << "# bash completion for bytewardctl, written by `bytewardctl completion bash`\n"
           "_bytewardctl() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local path= word i skip=0 rest=0\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        word=${COMP_WORDS[i]}\n"
           "        if ((skip)); then skip=0; continue; fi\n"
           "        case \"$path|$word\" in\n";
    forEach(root, [&](const Command &command) {
        const std::string path = command.joined(' ');
        for (const Command &child : command.children)
            out << "            '" << path << "|" << child.path.back() << "') path='"
                << child.joined(' ') << "'" << (child.takesRest ? "; rest=1" : "") << " ;;\n";
        for (const Argument &option : command.options)
            if (option.takesValue())
                for (const std::string &word : optionWords(option))
                    out << "            '" << path << "|" << word << "') skip=1 ;;\n";
    });
    out << "        esac\n"
           "        ((rest)) && return 0\n"
           "    done\n"
           "    case \"$path|$prev\" in\n";
    forEach(root, [&](const Command &command) {
        const std::string path = command.joined(' ');
        for (const Argument &option : command.options) {
            if (!option.takesValue()) continue;
            for (const std::string &word : optionWords(option)) {
                out << "        '" << path << "|" << word << "') ";
                if (!option.choices.empty())
                    out << "COMPREPLY=($(compgen -W '" << joinWords(option.choices)
                        << "' -- \"$cur\"))";
                else if (option.isFile())
                    out << "compopt -o filenames; COMPREPLY=($(compgen -f -- \"$cur\"))";
                else
                    out << "COMPREPLY=()";
                out << "; return 0 ;;\n";
            }
        }
    });
    out << "    esac\n"
           "    local options= words=\n"
           "    case \"$path\" in\n";
    forEach(root, [&](const Command &command) {
        std::vector<std::string> options, words;
        for (const Argument &option : command.options)
            for (const std::string &word : optionWords(option))
                options.push_back(word);
        for (const Command &child : command.children)
            words.push_back(child.path.back());
        for (const Argument &positional : command.positionals)
            words.insert(words.end(), positional.choices.begin(), positional.choices.end());
        out << "        '" << command.joined(' ') << "') options='" << joinWords(options)
            << "' words='" << joinWords(words) << "' ;;\n";
    });
    out << "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -F _bytewardctl bytewardctl\n";
    return out.str();
}

// ---- zsh ------------------------------------------------------------------------------------

// Inside single quotes; within the brackets of an _arguments description, brackets too.
std::string zshText(const std::string &text, bool brackets = false) {
    std::string out;
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else if (brackets && (c == '[' || c == ']' || c == '\\'))
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out;
}

// The message of an _arguments value: a colon would end it.
std::string zshMessage(const std::string &text) {
    std::string out;
    for (const char c : zshText(text))
        out += c == ':' ? std::string("\\:") : std::string(1, c);
    return out;
}

std::string zshAction(const Argument &argument) {
    if (!argument.choices.empty()) return "(" + joinWords(argument.choices) + ")";
    return argument.isFile() ? "_files" : " ";
}

std::string zshFunction(const Command &command) {
    std::string name = "_bytewardctl";
    for (const std::string &part : command.path)
        name += "_" + part;
    return name;
}

void zshCommand(std::ostream &out, const Command &command) {
    out << zshFunction(command) << "() {\n";
    std::vector<std::string> patterns;
    for (const Argument &option : command.options) {
        const std::vector<std::string> words = optionWords(option);
        std::string pattern;
        if (words.size() > 1)
            pattern = "'(" + joinWords(words) + ")'{" + [&] {
                std::string list;
                for (const std::string &w : words)
                    list += (list.empty() ? "" : ",") + w;
                return list;
            }() + "}'";
        else
            pattern = "'" + words.front();
        pattern += "[" + zshText(option.description, true) + "]";
        if (option.takesValue())
            pattern += ":" + zshMessage(option.valueName) + ":" + zshAction(option);
        patterns.push_back(pattern + "'");
    }
    if (command.children.empty()) {
        int index = 1;
        for (const Argument &positional : command.positionals)
            patterns.push_back("'" + std::to_string(index++) + (positional.required ? ":" : "::") +
                               zshMessage(positional.positional) + ":" + zshAction(positional) +
                               "'");
        if (command.takesRest) patterns.emplace_back("'*:argument: '");
        out << "    _arguments -s";
        for (const std::string &pattern : patterns)
            out << " \\\n        " << pattern;
        out << "\n}\n\n";
        return;
    }
    out << "    local curcontext=$curcontext state line ret=1\n"
           "    local -a commands=(\n";
    for (const Command &child : command.children)
        out << "        '" << child.path.back() << ":" << zshText(child.description) << "'\n";
    out << "    )\n    _arguments -C -s";
    for (const std::string &pattern : patterns)
        out << " \\\n        " << pattern;
    out << " \\\n        '1: :->command' \\\n        '*:: :->argument' && ret=0\n"
           "    case $state in\n"
           "        command) _describe -t commands command commands && ret=0 ;;\n"
           "        argument)\n"
           "            case $words[1] in\n";
    for (const Command &child : command.children)
        out << "                " << child.path.back() << ") " << zshFunction(child)
            << " && ret=0 ;;\n";
    out << "            esac ;;\n"
           "    esac\n"
           "    return ret\n"
           "}\n\n";
    for (const Command &child : command.children)
        zshCommand(out, child);
}

std::string zshScript(const Command &root) {
    std::ostringstream out;
    out << "#compdef bytewardctl\n"
           "# zsh completion for bytewardctl, written by `bytewardctl completion zsh`\n\n";
    zshCommand(out, root);
    out << "_bytewardctl \"$@\"\n";
    return out.str();
}

// ---- fish -----------------------------------------------------------------------------------

std::string fishText(const std::string &text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

// The condition under which a command's own arguments apply.
std::string fishWithin(const Command &command) {
    std::string condition;
    for (const std::string &part : command.path)
        condition += (condition.empty() ? "" : "; and ") +
                     std::string("__fish_seen_subcommand_from ") + part;
    std::vector<std::string> children;
    for (const Command &child : command.children)
        children.push_back(child.path.back());
    if (command.path.empty()) return "__fish_use_subcommand";
    if (!children.empty())
        condition += "; and not __fish_seen_subcommand_from " + joinWords(children);
    return condition;
}

std::string fishScript(const Command &root) {
    std::ostringstream out;
    out << "# fish completion for bytewardctl, written by `bytewardctl completion fish`\n"
           "complete -c bytewardctl -f\n";
    forEach(root, [&](const Command &command) {
        const std::string within = fishText(fishWithin(command));
        for (const Command &child : command.children)
            out << "complete -c bytewardctl -n " << within << " -a " << child.path.back() << " -d "
                << fishText(child.description) << '\n';
        for (const Argument &option : command.options) {
            out << "complete -c bytewardctl -n " << within;
            for (const std::string &s : option.shortNames)
                out << " -s " << s;
            for (const std::string &l : option.longNames)
                out << " -l " << l;
            if (!option.choices.empty())
                out << " -x -a " << fishText(joinWords(option.choices));
            else if (option.isFile())
                out << " -r -F";
            else if (option.takesValue())
                out << " -x";
            out << " -d " << fishText(option.description) << '\n';
        }
        for (const Argument &positional : command.positionals)
            if (!positional.choices.empty())
                out << "complete -c bytewardctl -n " << within << " -a "
                    << fishText(joinWords(positional.choices)) << " -d "
                    << fishText(positional.description) << '\n';
    });
    return out.str();
}

// ---- the manual -----------------------------------------------------------------------------

// scdoc takes * and _ as emphasis and a leading backslash as an escape.
std::string scdocText(const std::string &text) {
    std::string out;
    for (const char c : text) {
        if (c == '*' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// The choices where there are some: "cellular|wifi" says more than "TEXT".
std::string valueText(const Argument &option) {
    std::string text;
    for (const std::string &choice : option.choices)
        text += (text.empty() ? "" : "|") + choice;
    return scdocText(text.empty() ? option.valueName : text);
}

bool isCommon(const Argument &option) {
    return option.longNames == std::vector<std::string>{"help"} ||
           option.longNames == std::vector<std::string>{"verbose"};
}

std::string manualCommands(const Command &root) {
    std::ostringstream out;
    forEach(root, [&](const Command &command) {
        if (command.path.empty()) return;
        std::string synopsis = "*bytewardctl " + scdocText(command.joined(' ')) + "*";
        for (const Argument &option : command.options)
            if (!isCommon(option))
                synopsis += " [" + scdocText(optionWords(option).back()) +
                            (option.takesValue() ? " _" + valueText(option) + "_" : "") + "]";
        for (const Argument &positional : command.positionals)
            synopsis += positional.required ? " _" + scdocText(positional.positional) + "_"
                                            : " [_" + scdocText(positional.positional) + "_]";
        if (command.takesRest) synopsis += " _ARGUMENTS..._";
        if (!command.children.empty())
            synopsis += command.needsCommand ? " _COMMAND_" : " [_COMMAND_]";
        out << synopsis << "\n\t" << scdocText(command.description) << "\n\n";
        for (const Argument &positional : command.positionals) {
            out << "\t_" << scdocText(positional.positional) << "_\n\t\t"
                << scdocText(positional.description);
            out << "\n\n";
        }
        for (const Argument &option : command.options) {
            if (isCommon(option)) continue;
            std::string words;
            for (const std::string &word : optionWords(option))
                words += (words.empty() ? "" : ", ") + ("*" + scdocText(word) + "*");
            out << "\t" << words << (option.takesValue() ? " _" + valueText(option) + "_" : "")
                << "\n\t\t" << scdocText(option.description);
            out << "\n\n";
        }
    });
    return out.str();
}

} // namespace

void addDescribeCommands(CLI::App &app, std::function<int()> &describeAction) {
    auto *completion = app.add_subcommand(
        "completion", tr("Print the completion script of a shell: bash, zsh or fish"));
    auto shell = std::make_shared<std::string>();
    completion->add_option("shell", *shell, tr("The shell"))
        ->required()
        ->check(CLI::IsMember({"bash", "zsh", "fish"}));
    completion->callback([&app, &describeAction, shell] {
        describeAction = [&app, shell] {
            const Command root = describe(app, {});
            std::cout << (*shell == "bash"  ? bashScript(root)
                          : *shell == "zsh" ? zshScript(root)
                                            : fishScript(root));
            return 0;
        };
    });

    // For the build, which writes the manual's command reference with it; not for people.
    auto *manual = app.add_subcommand("manual-commands", "");
    manual->group("");
    manual->callback([&app, &describeAction] {
        describeAction = [&app] {
            std::cout << manualCommands(describe(app, {}));
            return 0;
        };
    });
}

} // namespace byteward::cli
