#include "tests/tools/test_files.h"

#include <cstdlib>

namespace tvn::tools::test {

namespace {

Message mail(const std::string& subject, const std::string& body, int n) {
    Message m("IPM.Note");
    m.subject(subject).body(body).sender("Sender " + std::to_string(n),
                                         "sender" + std::to_string(n) + "@example.com");
    m.sent(fileTime(2024, 1, 1 + n % 28, 9, 30, n % 60));
    m.received(fileTime(2024, 1, 1 + n % 28, 9, 31, n % 60));
    m.addRecipient("Recipient A", "a@example.com");
    m.addRecipient("Recipient B", "b@example.com", RecipientType::Cc);
    return m;
}

} // namespace

Description everyKind(FileFormat format, CryptMethod crypt, bool large) {
    Description d;
    d.store.displayName = "Every Kind";
    d.store.format = format;
    d.store.crypt = crypt;

    auto& inbox = d.folder("Inbox", "IPF.Note");
    {
        Message m = mail("With attachments", "See the two files.", 1);
        m.addAttachment("notes.txt", {'o', 'n', 'e', '\r', '\n'});
        m.addAttachment("blocks.bin", generatedBytes(30000, 7)); // several data blocks
        if (large) {
            m.addAttachment("huge.bin", generatedBytes(9'000'000, 8)); // XXBLOCK tree
        }
        inbox.add(std::move(m));
    }
    {
        Message inner = mail("Inner message", "The forwarded text.", 2);
        inner.addAttachment("inner.txt", {'i', 'n'});
        Message m = mail("FW: Inner message", "Forwarding.", 3);
        m.addEmbedded(std::move(inner));
        inbox.add(std::move(m));
    }
    {
        std::string body;
        for (int i = 0; body.size() < 120000; ++i) {
            body += "Line " + std::to_string(i) + " of a long body.\r\n";
        }
        inbox.add(mail("Long body", body, 4));
    }
    {
        Message m("IPM.Schedule.Meeting.Request");
        m.subject("Meeting request").body("Please come.").sender("Organizer", "org@example.com");
        m.setField("Start", PropValue::time(fileTime(2024, 2, 1, 10)));
        m.setField("End", PropValue::time(fileTime(2024, 2, 1, 11)));
        inbox.add(std::move(m));
    }
    {
        Message m("REPORT.IPM.Note.NDR");
        m.subject("Undeliverable: something").body("Delivery failed.");
        inbox.add(std::move(m));
    }
    auto& projects = inbox.folder("Projects", "IPF.Note");
    {
        Message post("IPM.Post");
        post.subject("A post").body("Posted text.");
        projects.add(std::move(post));
        projects.add(mail("Project mail", "Project text.", 5));
    }
    // Deep nesting.
    FolderDescription* deep = &projects;
    for (int level = 1; level <= 6; ++level) {
        deep = &deep->folder("Level " + std::to_string(level), "IPF.Note");
    }
    deep->add(mail("Deep mail", "At the bottom.", 6));

    // Many items: the contents table needs several heap pages and a row matrix in a
    // subnode; the row index needs more than one BTH leaf.
    auto& bulk = d.folder("Bulk", "IPF.Note");
    for (int i = 0; i < 520; ++i) {
        bulk.add(mail("Bulk " + std::to_string(i), "Bulk body " + std::to_string(i), i));
    }

    auto& calendar = d.folder("Calendar", "IPF.Appointment");
    {
        Message a("IPM.Appointment");
        a.subject("Weekly meeting").body("Agenda.").sender("Organizer");
        a.setField("Start", PropValue::time(fileTime(2024, 3, 4, 10)));
        a.setField("End", PropValue::time(fileTime(2024, 3, 4, 11)));
        a.setField("Location", PropValue::unicode("Room 1"));
        a.setField("BusyStatus", PropValue::int32(2));
        Recurrence r;
        r.type = Recurrence::Type::Weekly;
        r.daysOfWeek = 0x02;
        r.occurrences = 5;
        setRecurrence(a, r);
        calendar.add(std::move(a));
        Message b("IPM.Appointment");
        b.subject("All day").body("Holiday.");
        b.setField("Start", PropValue::time(fileTime(2024, 5, 1)));
        b.setField("End", PropValue::time(fileTime(2024, 5, 2)));
        b.setField("AllDayEvent", PropValue::boolean(true));
        b.addAttachment("map.txt", {'m', 'a', 'p'});
        calendar.add(std::move(b));
    }
    auto& tasks = d.folder("Tasks", "IPF.Task");
    {
        Message t("IPM.Task");
        t.subject("A task").body("Do it.");
        t.setField("DueDate", PropValue::time(fileTime(2024, 4, 1)));
        t.setField("PercentComplete", PropValue::floating(0.5));
        t.setField("Status", PropValue::int32(1));
        tasks.add(std::move(t));
    }
    auto& notes = d.folder("Notes", "IPF.StickyNote");
    {
        Message n("IPM.StickyNote");
        n.subject("A note").body("A note\r\nwith two lines.");
        n.setField("Color", PropValue::int32(3));
        notes.add(std::move(n));
    }
    auto& contacts = d.folder("Contacts", "IPF.Contact");
    {
        Message c("IPM.Contact");
        c.subject("Jane Doe").body("Contact notes.");
        c.setField("FullName", PropValue::unicode("Jane Doe"));
        c.setField("FirstName", PropValue::unicode("Jane"));
        c.setField("LastName", PropValue::unicode("Doe"));
        c.setField("Email1Address", PropValue::unicode("jane@example.com"));
        contacts.add(std::move(c));
        Message l("IPM.DistList");
        l.subject("A list").body("");
        contacts.add(std::move(l));
    }
    auto& journal = d.folder("Journal", "IPF.Journal");
    {
        Message j("IPM.Activity");
        j.subject("A call").body("Talked.");
        j.setField("JournalType", PropValue::unicode("Phone call"));
        journal.add(std::move(j));
    }
    d.folder("Empty folder");
    return d;
}

namespace {
void collect(const std::vector<FolderDescription>& folders, const std::string& prefix,
             std::map<std::string, const std::vector<Message>*>& out) {
    for (const auto& f : folders) {
        const std::string path = prefix.empty() ? f.name : prefix + "/" + f.name;
        out[path] = &f.items;
        collect(f.folders, path, out);
    }
}
} // namespace

std::map<std::string, const std::vector<Message>*> folderItems(const Description& d) {
    std::map<std::string, const std::vector<Message>*> out;
    collect(d.folders, "", out);
    return out;
}

std::string subjectOf(const Message& m) {
    const PropValue* v = m.find(tag::kSubject);
    return v != nullptr ? v->text : std::string();
}
std::string bodyOf(const Message& m) {
    const PropValue* v = m.find(tag::kBody);
    return v != nullptr ? v->text : std::string();
}
std::string classOf(const Message& m) {
    const PropValue* v = m.find(tag::kMessageClass);
    return v != nullptr ? v->text : std::string("IPM.Note");
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

bool haveProgram(const std::string& name) {
    return run("command -v " + name + " > /dev/null 2>&1");
}

} // namespace tvn::tools::test
