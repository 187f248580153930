#include "app/archive_run.h"

#include <algorithm>

#include "archive/names.h"
#include "store/failure.h"
#include "writers/writers.h"

namespace tvn::app {

void archiveEntry(archive::RunContext& run, archive::ErrorTrap& trap, const ArchiveEntry& entry,
                  const FolderResolver& resolve,
                  std::vector<std::shared_ptr<store::Folder>>& archived) {
    const auto target = run.root() / archive::pathFromUtf8(archive::directoryName(entry.text));
    // CreateFolder looks for the directory itself and reports its own failure.
    run.CreateFolder(target);
    std::shared_ptr<store::Folder> folder = entry.folder;
    if (!folder && resolve) {
        trap.step([&] { folder = resolve(entry.text); });
    }
    if (!folder) {
        trap.step([&] {
            throw Failure(err::kNotFound, "The data file has no folder named \"" + entry.text +
                                              "\"; it was not archived.");
        });
        return;
    }
    if (std::any_of(archived.begin(), archived.end(),
                    [&](const auto& done) { return done->sameFolder(*folder); })) {
        return;
    }
    archived.push_back(folder);
    trap.step([&] {
        const auto type = folder->defaultItemType();
        if (const auto writer = writers::writerFor(type)) {
            writer(run, entry.text, target, folder);
        }
    });
}

std::string noErrorsLine(std::string_view generalDateTime) {
    return "Date: " + std::string(generalDateTime) + "   No errors were reported.";
}

} // namespace tvn::app
