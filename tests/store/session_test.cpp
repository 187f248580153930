#include <gtest/gtest.h>

#include "store/memory/memory_store.h"
#include "store/session.h"

namespace tvn::store {
namespace {

class FixedPicker final : public FolderPicker {
public:
    std::shared_ptr<Folder> answer;
    std::shared_ptr<Folder> pickFolder() override { return answer; }
};

TEST(Session, NamespaceListsOpenDataFilesInOpeningOrder) {
    Session session;
    auto a = memory::MemoryFolder::make("Personal Folders");
    auto b = memory::MemoryFolder::make("Archive");
    session.addDataFile(a);
    session.addDataFile(b);
    auto ns = session.getNamespace("MAPI");
    ASSERT_EQ(ns->folders()->count(), 2);
    EXPECT_EQ(ns->folders()->item(1)->name(), "Personal Folders");
    EXPECT_EQ(ns->folders()->item(2)->name(), "Archive");
    session.removeDataFile(a);
    EXPECT_EQ(ns->folders()->count(), 1);
    EXPECT_THROW(session.getNamespace("OTHER"), Failure);
}

TEST(Session, PickFolderAsksTheInstalledPicker) {
    Session session;
    auto ns = session.getNamespace("MAPI");
    EXPECT_EQ(ns->pickFolder(), nullptr);
    FixedPicker picker;
    picker.answer = memory::MemoryFolder::make("Personal Folders");
    session.setFolderPicker(&picker);
    EXPECT_EQ(ns->pickFolder(), picker.answer);
}

} // namespace
} // namespace tvn::store
