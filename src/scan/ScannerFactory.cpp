#include "scan/ScannerFactory.h"

#include "scan/FolderScanWorker2.h"
#include "scan/FolderScanWorkerFilesCollector.h"

namespace kestrane {

std::unique_ptr<ObjectWorkerCore> ScannerFactory::createWorker() {
    auto collector = std::make_shared<FolderScanWorkerFilesCollector>(_filesCollectorDelegate);
    if (auto delegate = _filesCollectorDelegate.lock()) delegate->onFilesCollectorCreated(collector);
    return std::make_unique<FolderScanWorker2>(std::move(collector), _context, _treeOwner);
}

}  // namespace kestrane
