#pragma once

#include "scan/ObjectWorkerCore.h"

#include <memory>

namespace kestrane {

class FolderScanWorkerFilesCollectorDelegate;
struct FolderScanContext;

// Makes the folder-scan cores of a pool: per worker a files collector that
// reports to the delegate, and a FolderScanWorker2 that owns it.
class ScannerFactory final : public ObjectTaskFactory {
public:
    // treeOwner keeps the tree the workers fill alive for as long as any of
    // them may still be in a task (after a cancel, the scanner that made the
    // tree may go first).
    explicit ScannerFactory(std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> filesCollectorDelegate,
                            std::shared_ptr<const FolderScanContext> context = nullptr,
                            std::shared_ptr<const void> treeOwner = nullptr)
        : _filesCollectorDelegate(std::move(filesCollectorDelegate)),
          _context(std::move(context)),
          _treeOwner(std::move(treeOwner)) {}

    std::unique_ptr<ObjectWorkerCore> createWorker() override;

private:
    std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> _filesCollectorDelegate;
    std::shared_ptr<const FolderScanContext> _context;
    std::shared_ptr<const void> _treeOwner;
};

}  // namespace kestrane
