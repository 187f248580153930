#include "writers/writers.h"

namespace tvn::writers {

void SaveTasks(archive::RunContext& run, const std::string& /*strFolderName*/,
               const std::filesystem::path& strPath,
               const std::shared_ptr<store::Folder>& /*folder*/) {
    run.CreateFolder(strPath);
}

} // namespace tvn::writers
