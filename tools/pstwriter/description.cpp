#include "tools/pstwriter/description.h"

#include <fstream>
#include <sstream>

#include "store/failure.h"
#include "tools/pstwriter/fields.h"
#include "tools/pstwriter/json.h"

namespace tvn::tools {

FolderDescription& FolderDescription::folder(std::string folderName, std::string cls) {
    folders.push_back(FolderDescription{std::move(folderName), std::move(cls), {}, {}});
    return folders.back();
}

FolderDescription& Description::folder(std::string name, std::string cls) {
    folders.push_back(FolderDescription{std::move(name), std::move(cls), {}, {}});
    return folders.back();
}

std::vector<std::uint8_t> generatedBytes(std::size_t size, std::uint64_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
    for (std::size_t i = 0; i < size; ++i) {
        if (i % 8 == 0) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
        }
        out[i] = static_cast<std::uint8_t>(x >> (8 * (i % 8)));
    }
    return out;
}

void setRecurrence(Message& m, const Recurrence& r) {
    const FieldInfo* startField = findField("Start");
    const FieldInfo* endField = findField("End");
    const PropValue* start = m.find(NamedKey{*startField->set, false, startField->id, {}});
    const PropValue* end = m.find(NamedKey{*endField->set, false, endField->id, {}});
    const std::uint64_t s = start != nullptr ? static_cast<std::uint64_t>(start->integer) : 0;
    const std::uint64_t e = end != nullptr ? static_cast<std::uint64_t>(end->integer) : s;
    m.setField("AppointmentRecur", PropValue::binary(appointmentRecurrenceBlob(r, s, e)));
    m.setField("IsRecurring", PropValue::boolean(true));
    m.setField("RecurrenceType", PropValue::int32(recurrenceTypeValue(r)));
    m.setField("RecurrencePattern", PropValue::unicode(recurrenceText(r)));
}

namespace {

void writeFolders(PstWriter& w, PstWriter::FolderId parent,
                  const std::vector<FolderDescription>& list, const std::string& wastebasket,
                  bool top) {
    for (const auto& f : list) {
        const PstWriter::FolderId id = top && f.name == wastebasket
                                           ? w.deletedItems()
                                           : w.addFolder(parent, f.name, f.containerClass);
        for (const auto& m : f.items) {
            w.addMessage(id, m);
        }
        writeFolders(w, id, f.folders, wastebasket, false);
    }
}

// --- JSON ---------------------------------------------------------------------------------

using json::Value;

// The kinds a description tells apart. An integer beyond the signed 64-bit range can only be
// taken as a number.
enum class Kind { Null, Bool, Integer, Real, String, Array, Object };

Kind kindOf(const Value& v) {
    switch (v.type()) {
    case Value::value_t::boolean:
        return Kind::Bool;
    case Value::value_t::number_integer:
        return Kind::Integer;
    case Value::value_t::number_unsigned:
        return v.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX) ? Kind::Integer
                                                                               : Kind::Real;
    case Value::value_t::number_float:
        return Kind::Real;
    case Value::value_t::string:
        return Kind::String;
    case Value::value_t::array:
        return Kind::Array;
    case Value::value_t::object:
        return Kind::Object;
    default:
        return Kind::Null;
    }
}

// The member of that key, or nullptr.
const Value* member(const Value& object, const std::string& key) {
    const auto it = object.find(key);
    return it != object.end() ? &*it : nullptr;
}

class Reader {
public:
    explicit Reader(std::filesystem::path baseDir) : m_base(std::move(baseDir)) {}

    Description description(const Value& root) {
        Description d;
        expectKind(root, Kind::Object, "the document");
        checkKeys(root, {"store", "folders"}, "the document");
        if (const Value* s = member(root, "store")) {
            store(*s, d.store);
        }
        if (const Value* f = member(root, "folders")) {
            d.folders = folders(*f, "folders");
        }
        return d;
    }

private:
    [[noreturn]] static void fail(const std::string& where, const std::string& what) {
        throw Failure(err::kInvalidProcedureCall, "Description: " + where + ": " + what);
    }

    static const char* kindName(Kind k) {
        switch (k) {
        case Kind::Null:
            return "null";
        case Kind::Bool:
            return "a boolean";
        case Kind::Integer:
            return "an integer";
        case Kind::Real:
            return "a number";
        case Kind::String:
            return "a string";
        case Kind::Array:
            return "an array";
        case Kind::Object:
            return "an object";
        }
        return "?";
    }

    static void expectKind(const Value& v, Kind k, const std::string& where) {
        const bool ok = kindOf(v) == k || (k == Kind::Real && kindOf(v) == Kind::Integer);
        if (!ok) {
            fail(where, std::string("expected ") + kindName(k) + ", found " + kindName(kindOf(v)));
        }
    }

    static void checkKeys(const Value& obj, std::initializer_list<std::string_view> allowed,
                          const std::string& where) {
        for (const auto& [k, v] : obj.items()) {
            (void)v;
            bool known = false;
            for (auto a : allowed) {
                known = known || a == k;
            }
            if (!known) {
                fail(where, "unknown key \"" + k + "\"");
            }
        }
    }

    static std::string text(const Value& v, const std::string& where) {
        expectKind(v, Kind::String, where);
        return v.get_ref<const std::string&>();
    }

    static std::uint64_t time(const Value& v, const std::string& where) {
        auto t = parseFileTime(text(v, where));
        if (!t) {
            fail(where, "expected a date like 2024-05-01T09:30:00Z");
        }
        return *t;
    }

    static std::int64_t integer(const Value& v, const std::string& where) {
        if (kindOf(v) == Kind::String) {
            // Hex ids and flags: "0x8083".
            const std::string& s = v.get_ref<const std::string&>();
            if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
                try {
                    std::size_t used = 0;
                    const auto n = std::stoll(s.substr(2), &used, 16);
                    if (used == s.size() - 2) {
                        return n;
                    }
                } catch (const std::exception&) {
                }
            }
            fail(where, "expected an integer or \"0x...\"");
        }
        expectKind(v, Kind::Integer, where);
        return v.get<std::int64_t>();
    }

    void store(const Value& v, StoreOptions& o) {
        const std::string where = "store";
        expectKind(v, Kind::Object, where);
        checkKeys(v,
                  {"name", "password", "encryption", "format", "subjectMarker", "subtreeName",
                   "deletedItemsName"},
                  where);
        if (const Value* x = member(v, "name")) {
            o.displayName = text(*x, where + ".name");
        }
        if (const Value* x = member(v, "password")) {
            o.password = text(*x, where + ".password");
        }
        if (const Value* x = member(v, "encryption")) {
            const std::string e = text(*x, where + ".encryption");
            if (e == "none") {
                o.crypt = CryptMethod::None;
            } else if (e == "compressible") {
                o.crypt = CryptMethod::Compressible;
            } else if (e == "high") {
                o.crypt = CryptMethod::High;
            } else {
                fail(where + ".encryption", "expected \"none\", \"compressible\" or \"high\"");
            }
        }
        if (const Value* x = member(v, "format")) {
            const std::string f = text(*x, where + ".format");
            if (f == "unicode") {
                o.format = FileFormat::Unicode;
            } else if (f == "ansi") {
                o.format = FileFormat::Ansi;
            } else {
                fail(where + ".format", "expected \"unicode\" or \"ansi\"");
            }
        }
        if (const Value* x = member(v, "subjectMarker")) {
            expectKind(*x, Kind::Bool, where + ".subjectMarker");
            o.subjectMarker = x->get<bool>();
        }
        if (const Value* x = member(v, "subtreeName")) {
            o.subtreeName = text(*x, where + ".subtreeName");
        }
        if (const Value* x = member(v, "deletedItemsName")) {
            o.deletedItemsName = text(*x, where + ".deletedItemsName");
        }
    }

    std::vector<FolderDescription> folders(const Value& v, const std::string& where) {
        expectKind(v, Kind::Array, where);
        std::vector<FolderDescription> out;
        for (std::size_t i = 0; i < v.size(); ++i) {
            out.push_back(folder(v[i], where + "[" + std::to_string(i) + "]"));
        }
        return out;
    }

    FolderDescription folder(const Value& v, const std::string& where) {
        expectKind(v, Kind::Object, where);
        checkKeys(v, {"name", "class", "items", "folders"}, where);
        FolderDescription f;
        const Value* name = member(v, "name");
        if (name == nullptr) {
            fail(where, "a folder needs a \"name\"");
        }
        f.name = text(*name, where + ".name");
        if (const Value* x = member(v, "class")) {
            f.containerClass = text(*x, where + ".class");
        }
        if (const Value* x = member(v, "items")) {
            expectKind(*x, Kind::Array, where + ".items");
            for (std::size_t i = 0; i < x->size(); ++i) {
                f.items.push_back(item((*x)[i], where + ".items[" + std::to_string(i) + "]"));
            }
        }
        if (const Value* x = member(v, "folders")) {
            f.folders = folders(*x, where + ".folders");
        }
        return f;
    }

    void recipients(Message& m, const Value& v, RecipientType type, const std::string& where) {
        expectKind(v, Kind::Array, where);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const Value& r = v[i];
            const std::string at = where + "[" + std::to_string(i) + "]";
            if (kindOf(r) == Kind::String) {
                // "Name <address>" or a bare name.
                const std::string& s = r.get_ref<const std::string&>();
                const auto lt = s.rfind('<');
                if (lt != std::string::npos && !s.empty() && s.back() == '>') {
                    std::string name = s.substr(0, lt);
                    while (!name.empty() && name.back() == ' ') {
                        name.pop_back();
                    }
                    m.addRecipient(name, s.substr(lt + 1, s.size() - lt - 2), type);
                } else {
                    m.addRecipient(s, {}, type);
                }
                continue;
            }
            expectKind(r, Kind::Object, at);
            checkKeys(r, {"name", "email", "properties"}, at);
            const Value* name = member(r, "name");
            const Value* email = member(r, "email");
            m.addRecipient(name != nullptr ? text(*name, at + ".name") : std::string(),
                           email != nullptr ? text(*email, at + ".email") : std::string(), type);
            if (const Value* p = member(r, "properties")) {
                for (auto& prop : properties(*p, at + ".properties")) {
                    auto& props = m.recipients.back().props;
                    props.push_back(std::move(prop));
                }
            }
        }
    }

    static std::vector<std::uint8_t> hexBytes(const std::string& s, const std::string& where) {
        std::vector<std::uint8_t> out;
        int nibble = -1;
        for (char c : s) {
            int d = -1;
            if (c >= '0' && c <= '9') {
                d = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                d = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                d = c - 'A' + 10;
            } else if (c == ' ') {
                continue;
            } else {
                fail(where, "expected hexadecimal digits");
            }
            if (nibble < 0) {
                nibble = d;
            } else {
                out.push_back(static_cast<std::uint8_t>(nibble * 16 + d));
                nibble = -1;
            }
        }
        if (nibble >= 0) {
            fail(where, "odd number of hexadecimal digits");
        }
        return out;
    }

    static std::uint16_t typeByName(const Value& v, const std::string& where) {
        if (kindOf(v) == Kind::String && v.get_ref<const std::string&>().rfind("0x", 0) == 0) {
            return static_cast<std::uint16_t>(integer(v, where));
        }
        const std::string n = text(v, where);
        struct Entry {
            std::string_view name;
            std::uint16_t type;
        };
        static constexpr Entry kTypes[] = {
            {"short", prop_type::kInt16},
            {"int16", prop_type::kInt16},
            {"long", prop_type::kInt32},
            {"int32", prop_type::kInt32},
            {"float", prop_type::kFloat},
            {"double", prop_type::kDouble},
            {"currency", prop_type::kCurrency},
            {"apptime", prop_type::kAppTime},
            {"error", prop_type::kError},
            {"boolean", prop_type::kBoolean},
            {"longlong", prop_type::kInt64},
            {"int64", prop_type::kInt64},
            {"string8", prop_type::kString8},
            {"unicode", prop_type::kUnicode},
            {"string", prop_type::kUnicode},
            {"systime", prop_type::kSysTime},
            {"time", prop_type::kSysTime},
            {"guid", prop_type::kGuid},
            {"binary", prop_type::kBinary},
            {"mv-short", prop_type::kMvShort},
            {"mv-long", prop_type::kMvLong},
            {"mv-double", prop_type::kMvDouble},
            {"mv-longlong", prop_type::kMvLongLong},
            {"mv-string8", prop_type::kMvString8},
            {"mv-unicode", prop_type::kMvUnicode},
            {"mv-systime", prop_type::kMvSysTime},
            {"mv-guid", prop_type::kMvGuid},
            {"mv-binary", prop_type::kMvBinary},
        };
        for (const auto& e : kTypes) {
            if (e.name == n) {
                return e.type;
            }
        }
        fail(where, "unknown property type \"" + n + "\"");
    }

    // A JSON value as a property value of the given type.
    static PropValue typedValue(const Value& v, std::uint16_t type, const std::string& where) {
        PropValue out;
        out.type = type;
        auto each = [&](auto&& fn) {
            expectKind(v, Kind::Array, where);
            for (std::size_t i = 0; i < v.size(); ++i) {
                fn(v[i], where + "[" + std::to_string(i) + "]");
            }
        };
        switch (type) {
        case prop_type::kInt16:
        case prop_type::kInt32:
        case prop_type::kInt64:
        case prop_type::kCurrency:
        case prop_type::kError:
            out.integer = integer(v, where);
            break;
        case prop_type::kBoolean:
            expectKind(v, Kind::Bool, where);
            out.integer = v.get<bool>() ? 1 : 0;
            break;
        case prop_type::kFloat:
        case prop_type::kDouble:
        case prop_type::kAppTime:
            expectKind(v, Kind::Real, where);
            out.real = v.get<double>();
            break;
        case prop_type::kSysTime:
            out.integer = static_cast<std::int64_t>(time(v, where));
            break;
        case prop_type::kUnicode:
        case prop_type::kString8:
            out.text = text(v, where);
            break;
        case prop_type::kBinary:
        case prop_type::kGuid:
            out.bytes = hexBytes(text(v, where), where);
            if (type == prop_type::kGuid && out.bytes.size() != 16) {
                fail(where, "a GUID value needs 16 bytes");
            }
            break;
        case prop_type::kMvShort:
        case prop_type::kMvLong:
        case prop_type::kMvLongLong:
            each([&](const Value& e, const std::string& w) {
                out.integers.push_back(integer(e, w));
            });
            break;
        case prop_type::kMvSysTime:
            each([&](const Value& e, const std::string& w) {
                out.integers.push_back(static_cast<std::int64_t>(time(e, w)));
            });
            break;
        case prop_type::kMvDouble:
            each([&](const Value& e, const std::string& w) {
                expectKind(e, Kind::Real, w);
                out.reals.push_back(e.get<double>());
            });
            break;
        case prop_type::kMvUnicode:
        case prop_type::kMvString8:
            each([&](const Value& e, const std::string& w) { out.texts.push_back(text(e, w)); });
            break;
        case prop_type::kMvBinary:
        case prop_type::kMvGuid:
            each([&](const Value& e, const std::string& w) {
                out.blobs.push_back(hexBytes(text(e, w), w));
                if (type == prop_type::kMvGuid && out.blobs.back().size() != 16) {
                    fail(w, "a GUID value needs 16 bytes");
                }
            });
            break;
        default:
            fail(where, "unsupported property type");
        }
        return out;
    }

    std::vector<Property> properties(const Value& v, const std::string& where) {
        expectKind(v, Kind::Array, where);
        std::vector<Property> out;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const Value& p = v[i];
            const std::string at = where + "[" + std::to_string(i) + "]";
            expectKind(p, Kind::Object, at);
            checkKeys(p, {"tag", "set", "lid", "name", "type", "value"}, at);
            const Value* type = member(p, "type");
            const Value* value = member(p, "value");
            if (type == nullptr || value == nullptr) {
                fail(at, "a property needs \"type\" and \"value\"");
            }
            const std::uint16_t t = typeByName(*type, at + ".type");
            PropValue pv = typedValue(*value, t, at + ".value");
            if (const Value* tagv = member(p, "tag")) {
                const std::int64_t id = integer(*tagv, at + ".tag");
                if (id <= 0 || id > 0xFFFF) {
                    fail(at + ".tag", "a property id is 0x0001-0xFFFF");
                }
                out.push_back(Property::tagged(static_cast<std::uint16_t>(id), std::move(pv)));
                continue;
            }
            const Value* set = member(p, "set");
            if (set == nullptr) {
                fail(at, "a property needs \"tag\", or \"set\" with \"lid\" or \"name\"");
            }
            auto guid = propertySet(text(*set, at + ".set"));
            if (!guid) {
                fail(at + ".set", "unknown property set");
            }
            if (const Value* lid = member(p, "lid")) {
                out.push_back(Property::lid(
                    *guid, static_cast<std::uint32_t>(integer(*lid, at + ".lid")), std::move(pv)));
            } else if (const Value* name = member(p, "name")) {
                out.push_back(Property::string(*guid, text(*name, at + ".name"), std::move(pv)));
            } else {
                fail(at, "a named property needs \"lid\" or \"name\"");
            }
        }
        return out;
    }

    void fields(Message& m, const Value& v, const std::string& where) {
        expectKind(v, Kind::Object, where);
        for (const auto& [name, value] : v.items()) {
            const std::string at = where + "." + name;
            const FieldInfo* f = findField(name);
            if (f == nullptr) {
                fail(at, "unknown field (see docs/pst-description.md)");
            }
            PropValue pv;
            if (kindOf(value) == Kind::Integer) {
                pv = PropValue::int64(value.get<std::int64_t>());
            } else if (kindOf(value) == Kind::Real) {
                pv = PropValue::floating(value.get<double>());
            } else if (kindOf(value) == Kind::Bool) {
                pv = PropValue::boolean(value.get<bool>());
            } else if (f->type == prop_type::kSysTime) {
                pv = PropValue::time(time(value, at));
            } else if (f->type == prop_type::kBinary) {
                pv = PropValue::binary(hexBytes(text(value, at), at));
            } else if (kindOf(value) == Kind::Array) {
                pv = typedValue(value, prop_type::kMvUnicode, at);
            } else {
                pv = PropValue::unicode(text(value, at));
            }
            if (!m.setField(name, pv)) {
                fail(at, "value does not fit the field's type");
            }
        }
    }

    Recurrence recurrence(const Value& v, const std::string& where) {
        expectKind(v, Kind::Object, where);
        checkKeys(v, {"type", "interval", "days", "dayOfMonth", "instance", "occurrences", "until"},
                  where);
        Recurrence r;
        const Value* type = member(v, "type");
        if (type == nullptr) {
            fail(where, "a recurrence needs a \"type\"");
        }
        const std::string t = text(*type, where + ".type");
        if (t == "daily") {
            r.type = Recurrence::Type::Daily;
        } else if (t == "weekly") {
            r.type = Recurrence::Type::Weekly;
        } else if (t == "monthly") {
            r.type = Recurrence::Type::Monthly;
        } else if (t == "monthNth") {
            r.type = Recurrence::Type::MonthNth;
        } else if (t == "yearly") {
            r.type = Recurrence::Type::Yearly;
        } else if (t == "yearNth") {
            r.type = Recurrence::Type::YearNth;
        } else {
            fail(where + ".type", "expected daily, weekly, monthly, monthNth, yearly or yearNth");
        }
        auto positive = [&](const char* key, std::uint32_t& out) {
            if (const Value* x = member(v, key)) {
                const std::int64_t n = integer(*x, where + "." + key);
                if (n < 0 || n > 0xFFFF) {
                    fail(where + "." + key, "out of range");
                }
                out = static_cast<std::uint32_t>(n);
            }
        };
        positive("interval", r.interval);
        positive("dayOfMonth", r.dayOfMonth);
        positive("instance", r.instance);
        positive("occurrences", r.occurrences);
        if (const Value* x = member(v, "until")) {
            r.until = time(*x, where + ".until");
        }
        if (const Value* x = member(v, "days")) {
            expectKind(*x, Kind::Array, where + ".days");
            static constexpr std::string_view kDays[] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
            for (const auto& d : *x) {
                const std::string s = text(d, where + ".days");
                bool found = false;
                for (std::uint32_t i = 0; i < 7; ++i) {
                    if (kDays[i] == s) {
                        r.daysOfWeek |= 1u << i;
                        found = true;
                    }
                }
                if (!found) {
                    fail(where + ".days", "expected Su, Mo, Tu, We, Th, Fr or Sa");
                }
            }
        }
        return r;
    }

    Attachment attachment(const Value& v, const std::string& where) {
        expectKind(v, Kind::Object, where);
        checkKeys(v, {"name", "text", "hex", "size", "seed", "file", "embedded", "properties"},
                  where);
        Message holder;
        const Value* name = member(v, "name");
        const std::string fileName = name != nullptr ? text(*name, where + ".name") : "";
        if (const Value* e = member(v, "embedded")) {
            holder.addEmbedded(item(*e, where + ".embedded"), fileName);
        } else {
            std::vector<std::uint8_t> data;
            if (const Value* t = member(v, "text")) {
                const std::string s = text(*t, where + ".text");
                data.assign(s.begin(), s.end());
            } else if (const Value* h = member(v, "hex")) {
                data = hexBytes(text(*h, where + ".hex"), where + ".hex");
            } else if (const Value* f = member(v, "file")) {
                const std::filesystem::path p = m_base / text(*f, where + ".file");
                std::ifstream in(p, std::ios::binary);
                if (!in) {
                    fail(where + ".file", "cannot read " + p.string());
                }
                data.assign(std::istreambuf_iterator<char>(in), {});
            } else if (const Value* s = member(v, "size")) {
                const std::int64_t n = integer(*s, where + ".size");
                if (n < 0 || n > (std::int64_t{1} << 31)) {
                    fail(where + ".size", "out of range");
                }
                const Value* seed = member(v, "seed");
                data = generatedBytes(
                    static_cast<std::size_t>(n),
                    seed != nullptr ? static_cast<std::uint64_t>(integer(*seed, where + ".seed"))
                                    : 1);
            }
            holder.addAttachment(fileName, std::move(data));
            if (fileName.empty()) {
                holder.attachments.back().props.clear();
            }
        }
        Attachment a = std::move(holder.attachments.back());
        if (const Value* p = member(v, "properties")) {
            for (auto& prop : properties(*p, where + ".properties")) {
                bool replaced = false;
                for (auto& q : a.props) {
                    if (!q.named && !prop.named && q.id == prop.id) {
                        q = prop;
                        replaced = true;
                    }
                }
                if (!replaced) {
                    a.props.push_back(std::move(prop));
                }
            }
        }
        return a;
    }

    Message item(const Value& v, const std::string& where) {
        expectKind(v, Kind::Object, where);
        checkKeys(v,
                  {"class", "subject", "body", "from", "to", "cc", "bcc", "sent", "received",
                   "created", "modified", "importance", "sensitivity", "categories", "read",
                   "fields", "recurrence", "properties", "attachments"},
                  where);
        Message m(member(v, "class") != nullptr ? text(*member(v, "class"), where + ".class")
                                                : std::string("IPM.Note"));
        if (const Value* x = member(v, "subject")) {
            m.subject(text(*x, where + ".subject"));
        }
        if (const Value* x = member(v, "body")) {
            m.body(text(*x, where + ".body"));
        }
        if (const Value* x = member(v, "from")) {
            if (kindOf(*x) == Kind::String) {
                m.sender(x->get_ref<const std::string&>());
            } else {
                expectKind(*x, Kind::Object, where + ".from");
                checkKeys(*x, {"name", "email"}, where + ".from");
                const Value* n = member(*x, "name");
                const Value* e = member(*x, "email");
                m.sender(n != nullptr ? text(*n, where + ".from.name") : std::string(),
                         e != nullptr ? text(*e, where + ".from.email") : std::string());
            }
        }
        if (const Value* x = member(v, "to")) {
            recipients(m, *x, RecipientType::To, where + ".to");
        }
        if (const Value* x = member(v, "cc")) {
            recipients(m, *x, RecipientType::Cc, where + ".cc");
        }
        if (const Value* x = member(v, "bcc")) {
            recipients(m, *x, RecipientType::Bcc, where + ".bcc");
        }
        if (const Value* x = member(v, "sent")) {
            m.sent(time(*x, where + ".sent"));
        }
        if (const Value* x = member(v, "received")) {
            m.received(time(*x, where + ".received"));
        }
        if (const Value* x = member(v, "created")) {
            m.set(tag::kCreationTime, PropValue::time(time(*x, where + ".created")));
        }
        if (const Value* x = member(v, "modified")) {
            m.set(tag::kLastModificationTime, PropValue::time(time(*x, where + ".modified")));
        }
        if (const Value* x = member(v, "importance")) {
            m.set(tag::kImportance,
                  PropValue::int32(static_cast<std::int32_t>(integer(*x, where + ".importance"))));
        }
        if (const Value* x = member(v, "sensitivity")) {
            m.set(tag::kSensitivity,
                  PropValue::int32(static_cast<std::int32_t>(integer(*x, where + ".sensitivity"))));
        }
        if (const Value* x = member(v, "categories")) {
            m.categories(typedValue(*x, prop_type::kMvUnicode, where + ".categories").texts);
        }
        if (const Value* x = member(v, "read")) {
            expectKind(*x, Kind::Bool, where + ".read");
            m.set(tag::kMessageFlags, PropValue::int32(x->get<bool>() ? 1 : 0));
        }
        if (const Value* x = member(v, "fields")) {
            fields(m, *x, where + ".fields");
        }
        if (const Value* x = member(v, "properties")) {
            for (auto& p : properties(*x, where + ".properties")) {
                m.set(std::move(p));
            }
        }
        if (const Value* x = member(v, "attachments")) {
            expectKind(*x, Kind::Array, where + ".attachments");
            for (std::size_t i = 0; i < x->size(); ++i) {
                m.attachments.push_back(
                    attachment((*x)[i], where + ".attachments[" + std::to_string(i) + "]"));
            }
            if (const Value* read = member(v, "read"); read != nullptr && !m.attachments.empty()) {
                m.set(tag::kMessageFlags, PropValue::int32((read->get<bool>() ? 1 : 0) | 0x10));
            }
        }
        if (const Value* x = member(v, "recurrence")) {
            setRecurrence(m, recurrence(*x, where + ".recurrence"));
        }
        return m;
    }

    std::filesystem::path m_base;
};

} // namespace

void writeDescription(const Description& d, const std::filesystem::path& path) {
    PstWriter w(path, d.store);
    writeFolders(w, w.ipmSubtree(), d.folders, d.store.deletedItemsName, true);
    w.finish();
}

Description parseDescription(std::string_view text, const std::filesystem::path& baseDir) {
    Value root;
    try {
        root = json::parse(text);
    } catch (const json::ParseError& e) {
        throw Failure(err::kInvalidProcedureCall, std::string("Description: ") + e.what());
    }
    return Reader(baseDir).description(root);
}

Description loadDescription(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure(err::kFileNotFound, "Cannot read " + path.string(), path.string());
    }
    std::ostringstream s;
    s << in.rdbuf();
    return parseDescription(s.str(), path.parent_path());
}

} // namespace tvn::tools
