#include "writers/writers.h"

namespace tvn::writers {

Writer writerFor(store::ItemType type) {
    switch (type) {
    case store::ItemType::Mail:
        return &SaveText;
    case store::ItemType::Appointment:
        return &SaveCalendar;
    case store::ItemType::Contact:
        return &SaveContacts;
    case store::ItemType::Task:
        return &SaveTasks;
    case store::ItemType::Note:
        return &SaveNotes;
    default:
        return nullptr;
    }
}

} // namespace tvn::writers
