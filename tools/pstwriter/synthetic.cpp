#include "tools/pstwriter/synthetic.h"

#include <array>
#include <string>
#include <vector>

#include "tools/pstwriter/description.h"

namespace tvn::tools {

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }
    bool chance(std::uint64_t oneIn) { return below(oneIn) == 0; }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& a) {
        return a[below(N)];
    }

private:
    std::uint64_t m_state;
};

constexpr std::array<const char*, 24> kFirst = {
    "Anna",  "Ben",    "Carla", "David", "Elena", "Farid",  "Grace", "Hiro",
    "Ines",  "Jonas",  "Kemal", "Laura", "Mateo", "Nadia",  "Oskar", "Priya",
    "Quinn", "Rafael", "Sofia", "Tomas", "Uma",   "Viktor", "Wen",   "Zoë"};
constexpr std::array<const char*, 20> kLast = {
    "Andersen", "Baker",   "Chen",   "Dubois",   "Eriksen", "Fischer", "García",
    "Hoffmann", "Ivanova", "Jensen", "Kowalski", "López",   "Müller",  "Nakamura",
    "O'Brien",  "Petrov",  "Rossi",  "Schmidt",  "Tanaka",  "Weber"};
constexpr std::array<const char*, 8> kDomains = {"example.com",   "example.org",    "contoso.test",
                                                 "fabrikam.test", "northwind.test", "tailspin.test",
                                                 "litware.test",  "adatum.test"};
constexpr std::array<const char*, 26> kTopics = {
    "budget",           "quarterly report",   "project kickoff",   "invoice",
    "contract renewal", "meeting notes",      "travel plans",      "server migration",
    "hiring update",    "release schedule",   "customer feedback", "design review",
    "training",         "office move",        "security audit",    "newsletter",
    "vendor proposal",  "board presentation", "holiday party",     "expense claim",
    "data backup",      "marketing plan",     "support ticket",    "product launch",
    "team offsite",     "annual review"};
constexpr std::array<const char*, 8> kPrefixes = {
    "", "", "", "RE: ", "FW: ", "RE: RE: ", "Urgent: ", "Reminder: "};
constexpr std::array<const char*, 40> kWords = {
    "the",      "please", "review",   "attached", "document",  "before", "Friday",  "we",
    "need",     "to",     "confirm",  "the",      "numbers",   "with",   "finance", "and",
    "update",   "plan",   "for",      "next",     "quarter",   "thanks", "again",   "team",
    "schedule", "call",   "tomorrow", "morning",  "regarding", "open",   "issues",  "customer",
    "asked",    "about",  "delivery", "dates",    "let",       "me",     "know",    "soon"};
constexpr std::array<const char*, 7> kExtensions = {".pdf", ".docx", ".xlsx", ".png",
                                                    ".jpg", ".zip",  ".txt"};
constexpr std::array<const char*, 6> kPlaces = {"Room 101",  "Main hall",  "Online",
                                                "Cafeteria", "Board room", "Site B"};

std::string person(Random& r) {
    return std::string(r.pick(kFirst)) + " " + r.pick(kLast);
}

std::string address(const std::string& name, Random& r) {
    std::string local;
    for (char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            local.push_back(static_cast<char>(c | 0x20));
        } else if (c == ' ') {
            local.push_back('.');
        }
    }
    return local + "@" + r.pick(kDomains);
}

std::string body(Random& r) {
    // Mostly short notes, some long threads, a few very long bodies (multi-block trees).
    std::uint64_t words = 20 + r.below(300);
    if (r.chance(8)) {
        words = 1000 + r.below(4000);
    }
    if (r.chance(200)) {
        words = 20000 + r.below(30000);
    }
    std::string s;
    s.reserve(words * 7);
    for (std::uint64_t i = 0; i < words; ++i) {
        s += r.pick(kWords);
        s += (i % 17 == 16) ? ".\r\n" : " ";
    }
    return s;
}

std::uint64_t someTime(Random& r) {
    // 2019-01-01 plus up to about six years, on a second boundary.
    return fileTime(2019, 1, 1) + r.below(6ull * 365 * 86400) * 10000000ull;
}

Message mail(Random& r, bool allowEmbedded, SyntheticStats& stats) {
    Message m("IPM.Note");
    const std::string from = person(r);
    m.subject(std::string(r.pick(kPrefixes)) + r.pick(kTopics) + " " +
              std::to_string(r.below(1000)));
    m.body(body(r));
    m.sender(from, address(from, r));
    const std::uint64_t sent = someTime(r);
    m.sent(sent).received(sent + (1 + r.below(600)) * 10000000ull);
    const std::uint64_t to = 1 + r.below(4);
    for (std::uint64_t i = 0; i < to; ++i) {
        const std::string n = person(r);
        m.addRecipient(n, address(n, r));
    }
    if (r.chance(3)) {
        const std::string n = person(r);
        m.addRecipient(n, address(n, r), RecipientType::Cc);
    }
    m.set(tag::kImportance, PropValue::int32(r.chance(10) ? 2 : 1));
    m.set(tag::kMessageFlags, PropValue::int32(r.chance(5) ? 0 : 1));
    if (r.chance(10)) {
        const std::uint64_t n = 1 + r.below(3);
        for (std::uint64_t i = 0; i < n; ++i) {
            std::uint64_t size = 2000 + r.below(200000);
            if (r.chance(6)) {
                size = 500000 + r.below(3000000);
            }
            m.addAttachment(std::string(r.pick(kTopics)) + " " + std::to_string(i + 1) +
                                r.pick(kExtensions),
                            generatedBytes(size, r.next()));
            ++stats.attachments;
        }
        m.set(tag::kMessageFlags, PropValue::int32(0x11));
    }
    if (allowEmbedded && r.chance(150)) {
        Message inner = mail(r, false, stats);
        m.addEmbedded(std::move(inner));
        ++stats.attachments;
    }
    return m;
}

} // namespace

SyntheticStats writeSynthetic(const std::filesystem::path& path, std::uint64_t mailCount,
                              std::uint64_t seed, StoreOptions options) {
    if (options.displayName == StoreOptions{}.displayName) {
        options.displayName = "Synthetic " + std::to_string(seed);
    }
    SyntheticStats stats;
    Random r(seed);
    PstWriter w(path, options);

    // Mail folders, nested; weights say what share of the mail each receives.
    struct MailFolder {
        const char* name;
        int parent; // index into this table, -1 for the top
        unsigned weight;
    };
    const MailFolder mailFolders[] = {
        {"Inbox", -1, 30},  {"Projects", 0, 0},    {"Alpha", 1, 12},       {"Beta", 1, 8},
        {"Clients", 0, 10}, {"Newsletters", 0, 8}, {"Sent Items", -1, 15}, {"Archive", -1, 0},
        {"2023", 7, 9},     {"2024", 7, 8},
    };
    std::vector<PstWriter::FolderId> ids;
    unsigned totalWeight = 0;
    for (const auto& f : mailFolders) {
        ids.push_back(
            w.addFolder(f.parent < 0 ? w.ipmSubtree() : ids[static_cast<std::size_t>(f.parent)],
                        f.name, "IPF.Note"));
        totalWeight += f.weight;
        ++stats.folders;
    }
    std::uint64_t assigned = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        std::uint64_t n = mailCount * mailFolders[i].weight / totalWeight;
        if (i + 1 == ids.size()) {
            n = mailCount - assigned;
        }
        assigned += n;
        for (std::uint64_t k = 0; k < n; ++k) {
            w.addMessage(ids[i], mail(r, true, stats));
            ++stats.mails;
        }
        w.finishFolderContents(ids[i]);
    }

    // Other kinds, a share of the mail count each.
    const auto calendar = w.addFolder(w.ipmSubtree(), "Calendar", "IPF.Appointment");
    const auto tasks = w.addFolder(w.ipmSubtree(), "Tasks", "IPF.Task");
    const auto notes = w.addFolder(w.ipmSubtree(), "Notes", "IPF.StickyNote");
    const auto contacts = w.addFolder(w.ipmSubtree(), "Contacts", "IPF.Contact");
    stats.folders += 4;
    const std::uint64_t few = std::max<std::uint64_t>(mailCount / 50, 3);
    for (std::uint64_t i = 0; i < few; ++i) {
        Message a("IPM.Appointment");
        const std::uint64_t start = someTime(r) / 18000000000ull * 18000000000ull;
        const std::uint64_t minutes = 30 * (1 + r.below(6));
        a.subject(std::string(r.pick(kTopics)) + " meeting").body(body(r));
        a.setField("Start", PropValue::time(start));
        a.setField("End", PropValue::time(start + minutes * 600000000ull));
        a.setField("Duration", PropValue::int32(static_cast<std::int32_t>(minutes)));
        a.setField("Location", PropValue::unicode(r.pick(kPlaces)));
        a.setField("BusyStatus", PropValue::int32(static_cast<std::int32_t>(r.below(4))));
        a.setField("ReminderSet", PropValue::boolean(r.chance(2)));
        a.sender(person(r));
        if (r.chance(5)) {
            Recurrence rec;
            rec.type = r.chance(2) ? Recurrence::Type::Weekly : Recurrence::Type::Daily;
            rec.occurrences = static_cast<std::uint32_t>(2 + r.below(20));
            setRecurrence(a, rec);
        }
        w.addMessage(calendar, a);
        ++stats.otherItems;
    }
    for (std::uint64_t i = 0; i < few / 2 + 1; ++i) {
        Message t("IPM.Task");
        t.subject("Follow up: " + std::string(r.pick(kTopics))).body(body(r));
        const std::uint64_t start = someTime(r) / 864000000000ull * 864000000000ull;
        t.setField("StartDate", PropValue::time(start));
        t.setField("DueDate", PropValue::time(start + 7 * 864000000000ull));
        const auto status = static_cast<std::int32_t>(r.below(5));
        t.setField("Status", PropValue::int32(status));
        t.setField("PercentComplete", PropValue::floating(status == 2 ? 1.0 : 0.25));
        t.setField("Complete", PropValue::boolean(status == 2));
        w.addMessage(tasks, t);
        ++stats.otherItems;
    }
    for (std::uint64_t i = 0; i < few / 2 + 1; ++i) {
        Message n("IPM.StickyNote");
        const std::string text = std::string(r.pick(kTopics)) + "\r\n" + body(r);
        n.subject(r.pick(kTopics)).body(text);
        n.setField("Color", PropValue::int32(static_cast<std::int32_t>(r.below(5))));
        w.addMessage(notes, n);
        ++stats.otherItems;
    }
    for (std::uint64_t i = 0; i < few; ++i) {
        Message c("IPM.Contact");
        const std::string first = r.pick(kFirst);
        const std::string last = r.pick(kLast);
        const std::string full = first + " " + last;
        c.subject(full);
        c.setField("FullName", PropValue::unicode(full));
        c.setField("FirstName", PropValue::unicode(first));
        c.setField("LastName", PropValue::unicode(last));
        c.setField("CompanyName", PropValue::unicode(std::string(r.pick(kDomains))));
        c.setField("Email1Address", PropValue::unicode(address(full, r)));
        c.setField("BusinessTelephoneNumber",
                   PropValue::unicode("+1 555 " + std::to_string(1000 + r.below(9000))));
        c.setField("FileAs", PropValue::unicode(last + ", " + first));
        w.addMessage(contacts, c);
        ++stats.otherItems;
    }
    w.finish();
    stats.bytes = w.bytesWritten();
    return stats;
}

} // namespace tvn::tools
