#include "cli/ScanCommand.h"

#include "app/ScanFlowController.h"
#include "cli/CommandScan.h"
#include "cli/ExitStatus.h"
#include "cli/FolderSelectionActions.h"
#include "cli/ReportFile.h"
#include "cli/SizeText.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "settings/Settings.h"

#include <cstdio>
#include <iostream>
#include <sys/resource.h>

namespace kestrane::cli {

namespace {

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& value) { return static_cast<double>(value.tv_sec) + value.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::uint64_t peakMemoryBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

ScanReportFacts gatherFacts(const FoldersScanner& scanner, const ScanFlowController& flow,
                            const ScanCommandOptions& options, const Settings& settings, bool stopped) {
    const DuplicatesManager& manager = DuplicatesManager::sharedManager();
    ScanReportFacts facts;
    facts.folders = flow.lastSelectedFolders();
    facts.scannedFolders = scanner.getScannedFolders();
    facts.startDate = manager.scanStartDate().value_or(std::chrono::system_clock::now());
    facts.finishDate = manager.scanFinishDate().value_or(std::chrono::system_clock::now());
    facts.stopped = stopped;
    facts.minimalSize = manager.minimalDuplicatesSize();
    facts.minimalSizeAutomatic = manager.isMinimalSizeAutomatic();
    facts.fullHash = settings.actualFullHashCalculationState();
    facts.includeHidden = settings.scanInHiddenFolders();
    facts.folderStages = options.folderStages;
    facts.backupsSkipped = manager.isBackupsWereSkipped();
    facts.scannedFiles = scanner.getCountOfScannedFiles();
    facts.possibleDuplicates = scanner.getCountOfPossibleDuplicates();
    facts.actualDuplicates = scanner.getCountOfActualDuplicates();
    facts.checkedFolders = scanner.getCountOfCheckedFolders();
    for (const FileCategory type : kAllFileCategories)
        facts.possibleSizes[type] = scanner.getPossibleDuplicatesSizeOfType(type);
    facts.stageSeconds = scanner.getStageDurations();
    facts.totalSeconds = scanner.getTimeFromStart();
    facts.cpuSeconds = cpuSeconds();
    facts.peakMemoryBytes = peakMemoryBytes();
    return facts;
}

}  // namespace

std::optional<ScanCommandOptions> parseScanCommandOptions(const std::vector<std::string>& args, std::string& error) {
    ScanCommandOptions options;
    bool onlyFolders = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> attached;  // --option=value
        if (!onlyFolders && arg.starts_with("--") && arg.find('=') != std::string::npos) {
            attached = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
        }
        auto value = [&](std::string& out) {
            if (attached) {
                out = *attached;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto flag = [&](bool& target, bool set) {
            if (attached) {
                error = "option " + arg + " takes no value";
                return false;
            }
            target = set;
            return true;
        };
        auto optionalFlag = [&](std::optional<bool>& target, bool set) {
            if (attached) {
                error = "option " + arg + " takes no value";
                return false;
            }
            target = set;
            return true;
        };
        bool ok = true;
        std::string text;
        if (onlyFolders || arg == "-" || !arg.starts_with("-")) {
            // An empty name would silently become the working folder.
            if (args[i].empty()) {
                error = "an empty folder name was given: name the folder (\".\" for the working folder)";
                return std::nullopt;
            }
            options.folders.push_back(args[i]);
        } else if (arg == "--") {
            onlyFolders = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-m" || arg == "--min-size") {
            if (!(ok = value(text))) break;
            if (text == "auto") {
                options.minimalSize = ScanCommandOptions::MinimalSize::automatic;
            } else if (text == "all") {
                options.minimalSize = ScanCommandOptions::MinimalSize::all;
            } else if (auto bytes = parseSize(text)) {
                if (!Settings::kMinDuplicatesFileSizeRange.contains(*bytes)) {
                    error = "size \"" + text + "\" for --min-size is larger than any file can be (at most " +
                            std::to_string(Settings::kMinDuplicatesFileSizeRange.maximum) + " bytes)";
                    return std::nullopt;
                }
                options.minimalSize =
                    *bytes == 0 ? ScanCommandOptions::MinimalSize::all : ScanCommandOptions::MinimalSize::fixed;
                options.minimalSizeBytes = *bytes;
            } else {
                error = "bad size \"" + text + "\" for --min-size: use auto, all, or a size such as 4096, 500k, 2M, 1G";
                ok = false;
            }
        } else if (arg == "-f" || arg == "--full-hash") {
            ok = optionalFlag(options.fullHash, true);
        } else if (arg == "--no-full-hash") {
            ok = optionalFlag(options.fullHash, false);
        } else if (arg == "-H" || arg == "--hidden") {
            ok = optionalFlag(options.includeHidden, true);
        } else if (arg == "--no-hidden") {
            ok = optionalFlag(options.includeHidden, false);
        } else if (arg == "--no-folder-stages") {
            ok = flag(options.folderStages, false);
        } else if (arg == "-F" || arg == "--format") {
            if (!(ok = value(text))) break;
            if (text == "human") options.report.format = ReportFormat::human;
            else if (text == "json") options.report.format = ReportFormat::json;
            else if (text == "csv") options.report.format = ReportFormat::csv;
            else {
                error = "unknown format \"" + text + "\": use human, json or csv";
                ok = false;
            }
        } else if (arg == "-o" || arg == "--output") {
            if (!(ok = value(text))) break;
            if (text.empty()) {
                error = "--output needs a file name";
                ok = false;
            }
            options.outputPath = text;
        } else if (arg == "--folders") {
            ok = flag(options.report.folderTree, true);
        } else if (arg == "-a" || arg == "--all") {
            ok = flag(options.report.allGroups, true);
        } else if (arg == "-q" || arg == "--no-progress") {
            ok = flag(options.progress, false);
        } else if (arg == "--stats") {
            ok = flag(options.stats, true);
        } else if (arg == "-y" || arg == "--yes") {
            options.answers = TerminalQuestions::Mode::yes;
        } else if (arg == "-n" || arg == "--no") {
            options.answers = TerminalQuestions::Mode::no;
        } else if (arg == "--always-select" || arg == "--never-select") {
            if (!(ok = value(text))) break;
            auto& folders = arg == "--always-select" ? options.alwaysSelectFolders : options.neverSelectFolders;
            if (!folders) folders.emplace();
            if (!text.empty()) folders->push_back(text);  // an empty DIR only empties the list
        } else if (arg == "--review") {
            // The presentation is optional: a following word is taken only
            // when it names one (a folder named so is given as ./tree).
            options.review = true;
            std::optional<std::string> word = attached;
            if (!word && i + 1 < args.size() && presentationOfWord(args[i + 1])) word = args[++i];
            if (word) {
                options.reviewPresentation = presentationOfWord(*word);
                if (!options.reviewPresentation) {
                    error = "unknown presentation \"" + *word + "\" for --review: use tree, folders or list";
                    ok = false;
                }
            }
        } else if (arg == "--sort") {
            if (!(ok = value(text))) break;
            options.review = true;
            options.reviewSortType = sortTypeOfWord(text);
            if (!options.reviewSortType) {
                error = "unknown order \"" + text +
                        "\" for --sort: use name, name-desc, size, size-asc, date, date-asc, selected or type";
                ok = false;
            }
        } else if (const SelectionOption* selection = findSelectionOption(arg)) {
            SelectionRequest request{selection, {}};
            if (!selection->valueName.empty()) {
                if (!(ok = value(request.value))) break;
                if (request.value.empty()) {
                    error = "option " + arg + " needs a value";
                    ok = false;
                }
            } else if (attached) {
                error = "option " + arg + " takes no value";
                ok = false;
            }
            options.selection.push_back(std::move(request));
        } else {
            error = "unknown option " + arg;
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    if (!error.empty()) return std::nullopt;
    if (options.review && options.report.format == ReportFormat::csv) {
        error = "--review and --sort need the human or json format";
        return std::nullopt;
    }
    if (!options.help && options.folders.empty()) {
        error = "name at least one folder to scan";
        return std::nullopt;
    }
    return options;
}

int runScanCommand(const std::vector<std::string>& args) {
    std::string error;
    auto parsed = parseScanCommandOptions(args, error);
    if (!parsed) {
        std::cerr << "kestrane scan: " << error << "; see `kestrane scan --help`\n";
        return kExitUsage;
    }
    ScanCommandOptions& options = *parsed;
    if (options.help) {
        std::cout << scanHelpText();
        return kExitSuccess;
    }

    // Every named folder must be usable before anything starts.
    CommandScan scan(options, std::cerr);
    if (!scan.resolveFolders()) return kExitBadFolder;
    // So is every selection option, against those folders.
    auto selectionActions = makeSelectionActions(options.selection);
    if (!checkSelectionActions(selectionActions, scan.folders(), std::cerr)) return kExitUsage;

    ReportFile output;
    if (options.outputPath && !output.open(*options.outputPath, error)) {
        std::cerr << "kestrane: " << error << "\n";
        return kExitFailure;
    }
    if (const int status = scan.run(CommandScan::OnInterrupt::keepWhatWasFound); status != kExitSuccess) {
        if (options.outputPath) output.discard();
        return status;
    }
    const auto& container = scan.container();
    const ScanReportFacts facts = gatherFacts(*scan.scanner(), *scan.flow(), options, scan.settings(), scan.stopped());
    scan.releaseFlow();  // its timers end here, before the report is written
    if (!selectionActions.empty()) {
        SelectionContext context{container, scan.questions(), std::cerr};
        runSelectionActionsAndWait(std::move(selectionActions), context);
        options.report.showSelection = true;
    }
    if (options.review)
        options.report.review = ReviewOptions{
            .presentation = options.reviewPresentation.value_or(scan.settings().selectedFilesPresentation()),
            .sortType = options.reviewSortType.value_or(scan.settings().selectedFilesSortType())};
    if (options.report.folderTree) waitForFolderTree(container);
    if (options.stats) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "kestrane: reading %.3f s, duplicate files %.3f s, duplicate folders %.3f s, "
                      "similar folders %.3f s; total %.3f s, CPU %.3f s, peak memory %.1f MiB\n",
                      facts.stageSeconds[0], facts.stageSeconds[1], facts.stageSeconds[2], facts.stageSeconds[3],
                      facts.totalSeconds, facts.cpuSeconds, static_cast<double>(facts.peakMemoryBytes) / 1048576.0);
        std::cerr << line;
    }
    if (foundTotals(*container).groups == 0 && options.report.format != ReportFormat::human)
        std::cerr << "kestrane: no duplicates were found\n";

    if (options.outputPath) {
        writeScanReport(output.stream(), *container, facts, options.report);
        if (!output.commit(error)) {
            std::cerr << "kestrane: " << error << "\n";
            return kExitFailure;
        }
    } else {
        writeScanReport(std::cout, *container, facts, options.report);
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "kestrane: cannot write the report to standard output\n";
            return kExitFailure;
        }
    }
    return kExitSuccess;
}

std::string scanHelpText() {
    return R"(Usage: kestrane scan [OPTIONS] FOLDER...

Finds duplicate files, duplicate folders and similar folders in the FOLDERs
and writes a report to standard output. Files are compared by category and
size, then by an MD5 key of their content. Nothing is changed or removed:
the selection options only choose copies, which the report marks.

Options override the stored preferences (see `kestrane prefs`) for this run
only:

  -m, --min-size SIZE   smallest file size compared: "auto" (start with the
                        biggest files and stop early when the search gets
                        long), "all" (every file), or a size such as 4096,
                        500k, 2M, 1G (1 M = 1,000,000 bytes; KiB, MiB, GiB
                        count by 1024), at most 2^63 - 1 bytes
  -f, --full-hash       compare whole files; by default large files are
                        compared by three blocks of their content
      --no-full-hash    compare large files by three blocks
  -H, --hidden          compare what lies inside hidden folders too
      --no-hidden       leave hidden folders and everything inside them out;
                        hidden files in other folders are still compared
      --no-folder-stages
                        do not look for duplicate and similar folders
  -F, --format FORMAT   human (the default), json or csv
  -o, --output FILE     write the report to FILE instead of standard output:
                        a regular file is replaced only by a whole report
                        (through a symbolic link, the file it leads to); a
                        FIFO or a device such as /dev/null is written to
      --folders         add the folder tree: per folder, the copies it holds
                        whose group has copies outside it, how many of them
                        are selected and their size, its other files, and
                        its sub-folders holding duplicates (human and json)
  -a, --all             human report: every group, not only the biggest
  -q, --no-progress     no progress line on standard error
      --stats           print the time of each stage on standard error
      --always-select DIR
                        an always-select folder of auto-select for this run
                        (repeat the option for more: together they replace
                        the stored list; an empty DIR leaves the list empty)
      --never-select DIR
                        a never-select folder of auto-select for this run,
                        in the same way
  -y, --yes             answer yes to every question: scan folders that raise
                        one (read-only volume, skip list), confirm selections
                        that need it
  -n, --no              answer no to every question: leave such folders out,
                        change nothing that needs a confirmation
  -h, --help            show this help

Without --yes or --no a terminal is asked; a run without a terminal gives
the answer that changes nothing (the folder left out, the copy kept) and
says so.

Selection, applied after the scan in the order given (each option may be
repeated; DIR must be a folder being scanned or lie inside one); standard
error says what each one changed:

)" + selectionOptionsHelp() + R"(
Unless the preference KEY_allowRemovingAllDuplicateCopies is on, one copy of
every group is always kept.

The review of the removal list, after the report (JSON: the member "review"):

      --review [tree|folders|list]
                        the copies selected for removal as a file tree, one
                        entry per folder, or a plain list; without a word,
                        the stored presentation ("Selected Files
                        Presentation"). A folder named tree, folders or list
                        is given as ./tree
      --sort ORDER      their order at every level, copies before folders:
                        name, name-desc, size (largest first), size-asc, date
                        (newest first), date-asc, selected, type (category);
                        without it, the stored order ("Selected Files Sort
                        Type"); implies --review

While the scan runs, standard error shows its progress. Ctrl-C once stops the
scan and reports what was found so far; twice quits at once.

Exit status: 0 done (also when nothing was found), 1 the report could not be
written, 2 bad option or value (or an empty folder name), 3 a folder does not
exist, is not a folder or cannot be read, 4 every folder was left out, 130
interrupted twice.

The JSON and CSV layouts are described in docs/report-format.md and in
kestrane(1).

Examples:
  kestrane scan ~/Pictures
  kestrane scan --min-size all --hidden --format json -o report.json ~/Music /mnt/backup/Music
  kestrane scan --select-in ~/Downloads ~/Downloads ~/Documents
  kestrane scan --auto-select --never-select ~/Pictures/Best --review ~/Pictures
  kestrane scan --select-newest --review --sort size -F json ~/Music
)";
}

}  // namespace kestrane::cli
