#pragma once

#include "cli/ScanReport.h"
#include "cli/SelectionOptions.h"
#include "cli/TerminalQuestions.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::cli {

// The options of `kestrane scan`, as given on the command line. Unset
// optionals leave the stored preference as it is.
struct ScanCommandOptions {
    enum class MinimalSize { stored, automatic, all, fixed };
    MinimalSize minimalSize = MinimalSize::stored;
    std::uint64_t minimalSizeBytes = 0;  // for fixed
    std::optional<bool> fullHash;
    std::optional<bool> includeHidden;
    bool folderStages = true;
    ReportOptions report;
    std::optional<std::string> outputPath;
    bool progress = true;
    bool stats = false;
    TerminalQuestions::Mode answers = TerminalQuestions::Mode::ask;
    bool help = false;
    // The selection options, in the order given: applied after the scan.
    std::vector<SelectionRequest> selection;
    // --always-select / --never-select, every one given: the folder lists of
    // auto-select for this run (none: the stored lists).
    std::optional<std::vector<std::string>> alwaysSelectFolders;
    std::optional<std::vector<std::string>> neverSelectFolders;
    // --review [WORD] and --sort WORD; the unset ones come from the preferences.
    bool review = false;
    std::optional<std::int32_t> reviewPresentation;
    std::optional<std::int32_t> reviewSortType;
    std::vector<std::string> folders;
};

// Parses the arguments after "scan". On a mistake, returns no value and puts
// a one-line message in `error`.
std::optional<ScanCommandOptions> parseScanCommandOptions(const std::vector<std::string>& args, std::string& error);

// `kestrane scan ARGS...`: scans and writes the report. Returns the exit status.
int runScanCommand(const std::vector<std::string>& args);

std::string scanHelpText();

}  // namespace kestrane::cli
