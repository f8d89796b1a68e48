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
    explicit ScannerFactory(std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> filesCollectorDelegate,
                            std::shared_ptr<const FolderScanContext> context = nullptr)
        : _filesCollectorDelegate(std::move(filesCollectorDelegate)), _context(std::move(context)) {}

    std::unique_ptr<ObjectWorkerCore> createWorker() override;

private:
    std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> _filesCollectorDelegate;
    std::shared_ptr<const FolderScanContext> _context;
};

}  // namespace kestrane
