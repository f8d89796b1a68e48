#pragma once

#include "scan/ObjectWorkerCore.h"

#include <memory>

namespace kestrane {

class FolderScanWorkerFilesCollectorDelegate;

// Makes the folder-scan cores of a pool: per worker a files collector that
// reports to the delegate, and a FolderScanWorker2 that owns it.
class ScannerFactory final : public ObjectTaskFactory {
public:
    explicit ScannerFactory(std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> filesCollectorDelegate)
        : _filesCollectorDelegate(std::move(filesCollectorDelegate)) {}

    std::unique_ptr<ObjectWorkerCore> createWorker() override;

private:
    std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> _filesCollectorDelegate;
};

}  // namespace kestrane
