// Where the stream functions meet the archive layer.
#include "file/archive_layer.h"

namespace qr::file {
namespace {
const ArchiveLayerOps* installed = nullptr;
}  // namespace

// The runtime does not read any archive format yet: no path is claimed, so every stream is a
// plain file. The archive reader returns its operations here.
const ArchiveLayerOps* BuiltInArchiveLayer() { return nullptr; }

const ArchiveLayerOps* ArchiveLayer() { return installed ? installed : BuiltInArchiveLayer(); }

void InstallArchiveLayer(const ArchiveLayerOps* layer) { installed = layer; }

}  // namespace qr::file
