#pragma once

#include "cli/ScanCommand.h"
#include "settings/Settings.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {
class DuplicatesContainer;
class FoldersScanner;
class ScanFlowController;
}  // namespace kestrane

namespace kestrane::cli {

class ScanPresenter;
class TerminalQuestions;

// The scan a command runs before it works on the result (`kestrane scan`
// reports it, `kestrane merge` merges a pair of it): the named folders
// checked, the options that override preferences applied for this process,
// the scan flow run with its questions answered on the terminal and its
// progress on standard error, until the scan ends.
//
//     CommandScan scan(options, std::cerr);
//     if (!scan.resolveFolders()) return kExitBadFolder;
//     if (int status = scan.run(); status != kExitSuccess) return status;
//     use(scan.container());
//
// Main thread only; one scan per object.
class CommandScan {
public:
    // What the first Ctrl-C does while the scan runs (the second one always
    // ends the process at once, with status 130).
    enum class OnInterrupt {
        keepWhatWasFound,  // stop the scan; the result holds what was found so far
        abandon,           // stop the scan and drop it: run() returns kExitInterrupted
    };

    CommandScan(const ScanCommandOptions& options, std::ostream& err);
    ~CommandScan();
    CommandScan(const CommandScan&) = delete;
    CommandScan& operator=(const CommandScan&) = delete;

    // Makes every named folder absolute (symbolic links and ".." resolved)
    // and checks that it can be scanned; each one that cannot is named on the
    // error stream with the reason. False when any cannot.
    bool resolveFolders();
    // The folders as resolved, in command-line order.
    const std::vector<std::string>& folders() const { return m_folders; }

    // The settings with this run's overrides (minimal size, hidden folders,
    // full hash); the store's warnings reach the error stream as they come.
    Settings& settings() { return m_settings; }

    // Runs the scan to its end. kExitSuccess with a result; kExitNothingToScan
    // when every folder was left out; kExitFailure when it could not start or
    // ended without a result; kExitInterrupted when abandoned by Ctrl-C.
    int run(OnInterrupt onInterrupt);

    // After a successful run: the result (also the duplicates manager's
    // current one), the scanner and the flow, and whether Ctrl-C stopped it.
    const std::shared_ptr<DuplicatesContainer>& container() const { return m_container; }
    const std::shared_ptr<FoldersScanner>& scanner() const { return m_scanner; }
    const std::shared_ptr<ScanFlowController>& flow() const { return m_flow; }
    bool stopped() const { return m_stopped; }
    // What answers the questions of the scan, and of the work after it.
    const std::shared_ptr<TerminalQuestions>& questions() const { return m_questions; }
    // Lets the flow go (its timers end), once what is needed of it was read.
    void releaseFlow();

    // Ctrl-C: presses counted since the handler was installed (by run(), or
    // by installInterruptHandler() for work after the scan). The second press
    // ends the process from the handler with status 130, after unlinking a
    // half-written report file.
    static void installInterruptHandler();
    static int interruptCount();

private:
    ScanCommandOptions m_options;
    std::ostream& m_err;
    Settings m_settings;
    std::vector<std::string> m_folders;
    std::shared_ptr<ScanPresenter> m_presenter;
    std::shared_ptr<TerminalQuestions> m_questions;
    std::shared_ptr<ScanFlowController> m_flow;
    std::shared_ptr<FoldersScanner> m_scanner;
    std::shared_ptr<DuplicatesContainer> m_container;
    bool m_stopped = false;
};

}  // namespace kestrane::cli
